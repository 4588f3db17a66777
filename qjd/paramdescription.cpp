#include "qjd/paramdescription.h"

#include "params/buttongroups.h"
#include "params/labeltext.h"
#include "params/levellimits.h"
#include "params/parametermap.h"
#include "params/texts.h"
#include "qjd/webpage.h"

#include <QJsonArray>
#include <QTranslator>

namespace qj::qjd {

namespace {

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The panel's English captions, compiled in: qjd carries no translation files of its own.
const QTranslator &english()
{
    static const QTranslator *const translator = [] {
        auto *t = new QTranslator;
        for (const auto &[name, bytes] : captionFiles())
            if (!t->load(reinterpret_cast<const uchar *>(bytes.data()),
                         static_cast<int>(bytes.size())))
                qWarning("qjd: the English captions %s could not be read",
                         std::string(name).c_str());
        return t;
    }();
    return *translator;
}

QJsonObject bothLanguages(const QString &chinese, const QString &english)
{
    return {{QStringLiteral("zh"), chinese}, {QStringLiteral("en"), english}};
}

QJsonObject caption(const Parameter &p)
{
    const QString chinese = QString::fromUtf8(p.title);
    QString translated = english().translate("qj::Parameter", p.title);
    return bothLanguages(chinese, translated.isEmpty() ? chinese : translated);
}

const ButtonGroup *groupOf(int wireId)
{
    for (const ButtonGroup &g : buttonGroups())
        if (g.wireId == wireId)
            return &g;
    return nullptr;
}

QJsonArray values(const Parameter &p)
{
    QJsonArray out;
    if (p.kind == ControlKind::Slider) {
        for (int v = p.min; v <= p.max; ++v)
            out.append(QJsonObject{{QStringLiteral("value"), v},
                                   {QStringLiteral("text"), labelText(p.style, v)}});
        return out;
    }
    if (const ButtonGroup *g = groupOf(p.wireId)) {
        for (int i = 0; i < g->count; ++i) {
            QJsonObject value{{QStringLiteral("value"), groupValue(g->group, i)},
                              {QStringLiteral("text"), latin1(g->captions[std::size_t(i)])}};
            if (g->group == Group::MusicSelect && i == kSelectHiddenIndex)
                value.insert(QStringLiteral("hidden"), true);
            out.append(value);
        }
    }
    return out;
}

QString kindOf(const Parameter &p)
{
    if (p.wireId == wire::kRunMode)
        return QStringLiteral("memory");
    switch (p.kind) {
    case ControlKind::Slider:
        return QStringLiteral("level");
    case ControlKind::Status:
        return QStringLiteral("mute");
    default:
        return QStringLiteral("choice");
    }
}

} // namespace

QJsonObject parameterDescription()
{
    QJsonArray parameters;
    for (const std::string_view name : kEveningParameters) {
        const Parameter &p = parameter(*wireIdOf(name));
        QJsonObject row{{QStringLiteral("name"), latin1(p.control)},
                        {QStringLiteral("kind"), kindOf(p)},
                        {QStringLiteral("caption"), caption(p)},
                        {QStringLiteral("values"), values(p)}};
        if (p.kind != ControlKind::Status) {
            row.insert(QStringLiteral("min"), p.min);
            row.insert(QStringLiteral("max"), p.max);
        }
        if (const std::optional<int> limit = limitOf(p.wireId))
            row.insert(QStringLiteral("limit"), latin1(parameter(*limit).control));
        parameters.append(row);
    }
    auto status = [](Status s) {
        return bothLanguages(statusText(s, Language::Chinese), statusText(s, Language::English));
    };
    return {{QStringLiteral("languages"), QJsonArray{QStringLiteral("zh"), QStringLiteral("en")}},
            {QStringLiteral("status"),
             QJsonObject{{QStringLiteral("offline"), status(Status::Offline)},
                         {QStringLiteral("online"), status(Status::Connected)}}},
            {QStringLiteral("parameters"), parameters}};
}

} // namespace qj::qjd

// The web remote's side in qjd: its files as served (types, policy, methods), the description
// of the evening's parameters against the table, the labels, the groups and the English
// captions it is read from, and the link --remote-url prints.
#include "params/buttongroups.h"
#include "params/labeltext.h"
#include "params/levellimits.h"
#include "params/parametermap.h"
#include "params/texts.h"
#include "qjd/config.h"
#include "qjd/paramdescription.h"
#include "qjd/webpage.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTranslator>

#include <gtest/gtest.h>

#include <set>

namespace qj::qjd {
namespace {

std::string headerOf(const WebAnswer &answer, std::string_view name)
{
    for (const auto &[key, value] : answer.headers)
        if (key == name)
            return value;
    return {};
}

std::string_view fileNamed(std::string_view name)
{
    for (const auto &[key, bytes] : webFiles())
        if (key == name)
            return bytes;
    return {};
}

TEST(WebPage, EachFileIsServedWithItsTypeThePolicyAndNoSniffing)
{
    struct Case
    {
        const char *target;
        const char *file;
        const char *type;
    };
    const Case cases[] = {
        {"/", "index.html", "text/html; charset=utf-8"},
        {"/?from=phone", "index.html", "text/html; charset=utf-8"},
        {"/index.html", "index.html", "text/html; charset=utf-8"},
        {"/remote.css", "remote.css", "text/css; charset=utf-8"},
        {"/remote.js", "remote.js", "text/javascript; charset=utf-8"},
    };
    for (const Case &c : cases) {
        for (const char *method : {"GET", "HEAD"}) {
            SCOPED_TRACE(std::string(method) + " " + c.target);
            const std::optional<WebAnswer> answer = webPage(method, c.target, "10.0.0.2:8390");
            ASSERT_TRUE(answer);
            EXPECT_EQ(answer->status, 200);
            EXPECT_EQ(headerOf(*answer, "Content-Type"), c.type);
            EXPECT_EQ(headerOf(*answer, "X-Content-Type-Options"), "nosniff");
            EXPECT_EQ(headerOf(*answer, "Cache-Control"), "no-cache");
            const std::string policy = headerOf(*answer, "Content-Security-Policy");
            EXPECT_NE(policy.find("default-src 'self';"), std::string::npos) << policy;
            EXPECT_NE(policy.find("connect-src 'self' ws://10.0.0.2:8390 wss://10.0.0.2:8390;"),
                      std::string::npos)
                << policy;
            EXPECT_NE(policy.find("frame-ancestors 'none'"), std::string::npos) << policy;
            EXPECT_EQ(policy.find("unsafe"), std::string::npos) << policy;
            ASSERT_FALSE(fileNamed(c.file).empty());
            EXPECT_EQ(answer->body, fileNamed(c.file));
        }
    }
}

TEST(WebPage, OtherMethodsAreRefusedAndOtherPathsAreLeftToTheApi)
{
    for (const char *method : {"POST", "PUT", "PATCH", "DELETE", "OPTIONS"}) {
        const std::optional<WebAnswer> answer = webPage(method, "/remote.js", "h:1");
        ASSERT_TRUE(answer) << method;
        EXPECT_EQ(answer->status, 405) << method;
        EXPECT_EQ(headerOf(*answer, "Allow"), "GET, HEAD");
    }
    for (const char *target : {"/api/v1/rooms", "/nope", "/../index.html", "/remote.js/x",
                               "//remote.js", "", "remote.js", "/favicon.ico"})
        EXPECT_FALSE(webPage("GET", target, "h:1")) << target;
}

TEST(WebPage, AHostThatCouldEscapeThePolicyIsLeftOutOfIt)
{
    for (const char *host : {"", "a b", "x; script-src *", "h:1\r\nSet-Cookie: a", "'self'"}) {
        const std::string policy = contentSecurityPolicy(host);
        EXPECT_EQ(policy.find("ws://"), std::string::npos) << host;
        EXPECT_NE(policy.find("connect-src 'self';"), std::string::npos) << host;
    }
    EXPECT_NE(contentSecurityPolicy("[::1]:8390").find("ws://[::1]:8390 wss://[::1]:8390"),
              std::string::npos);
}

// The policy allows no inline script and no inline style: the page must carry none.
TEST(WebPage, ThePageCarriesNoInlineScriptOrStyleAndNothingFromElsewhere)
{
    const QString html = QString::fromUtf8(fileNamed("index.html"));
    const QString all = html + QString::fromUtf8(fileNamed("remote.js")) +
                        QString::fromUtf8(fileNamed("remote.css"));
    ASSERT_FALSE(html.isEmpty());
    static const QRegularExpression script(QStringLiteral("<script([^>]*)>"));
    for (auto it = script.globalMatch(html); it.hasNext();)
        EXPECT_TRUE(it.next().captured(1).contains(QLatin1String("src=")))
            << "a script without src";
    EXPECT_FALSE(html.contains(QRegularExpression(QStringLiteral("\\sstyle="))));
    EXPECT_FALSE(html.contains(QRegularExpression(QStringLiteral("\\son[a-z]+="))));
    EXPECT_FALSE(
        all.contains(QRegularExpression(QStringLiteral("https?://|//[a-z0-9.-]+\\.[a-z]"))))
        << "a file from elsewhere";
    EXPECT_FALSE(all.contains(QLatin1String("innerHTML")));
    EXPECT_FALSE(all.contains(QLatin1String("eval(")));
}

const QJsonObject &description()
{
    static const QJsonObject d = parameterDescription();
    return d;
}

// Every row the page builds its controls from is the table's, every caption the panel's (the
// English one read here from the compiled translation beside the build, not the one qjd
// carries inside), every value one the parameter takes with the panel's text for it.
TEST(ParamDescription, EveryRowIsReadFromTheTableTheLabelsTheGroupsAndTheCaptions)
{
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(QJ_TRANSLATIONS_DIR "/qj-panel_en.qm")));
    const QJsonArray rows = description()[QStringLiteral("parameters")].toArray();
    ASSERT_EQ(rows.size(), qsizetype(kEveningParameters.size()));
    std::set<QString> kinds;
    for (const QJsonValue &value : rows) {
        const QJsonObject row = value.toObject();
        const QString name = row[QStringLiteral("name")].toString();
        SCOPED_TRACE(name.toStdString());
        const std::optional<int> id = wireIdOf(name.toStdString());
        ASSERT_TRUE(id);
        const Parameter &p = parameter(*id);
        const QString kind = row[QStringLiteral("kind")].toString();
        kinds.insert(kind);
        EXPECT_EQ(kind == QLatin1String("level"), p.kind == ControlKind::Slider);
        EXPECT_EQ(kind == QLatin1String("mute"), p.kind == ControlKind::Status);
        EXPECT_EQ(kind == QLatin1String("memory"), *id == wire::kRunMode);

        const QJsonObject caption = row[QStringLiteral("caption")].toObject();
        EXPECT_EQ(caption[QStringLiteral("zh")].toString(), QString::fromUtf8(p.title));
        const QString en = english.translate("qj::Parameter", p.title);
        EXPECT_FALSE(en.isEmpty());
        EXPECT_EQ(caption[QStringLiteral("en")].toString(), en);

        const std::optional<int> limit = limitOf(*id);
        EXPECT_EQ(row[QStringLiteral("limit")].toString(),
                  limit ? QString::fromLatin1(parameter(*limit).control.data(),
                                              qsizetype(parameter(*limit).control.size()))
                        : QString());

        const ButtonGroup *group = nullptr;
        for (const ButtonGroup &g : buttonGroups())
            if (g.wireId == *id)
                group = &g;
        std::set<int> given;
        for (const QJsonValue &v : row[QStringLiteral("values")].toArray()) {
            const int raw = v[QStringLiteral("value")].toInt(-1);
            const QString text = v[QStringLiteral("text")].toString();
            EXPECT_TRUE(isSendable(*id, raw)) << raw;
            EXPECT_TRUE(given.insert(raw).second) << raw << " twice";
            if (p.kind == ControlKind::Slider) {
                EXPECT_EQ(text, labelText(p.style, raw)) << raw;
            } else {
                ASSERT_TRUE(group);
                int index = -1;
                for (int i = 0; i < group->count; ++i)
                    if (groupValue(group->group, i) == raw)
                        index = i;
                ASSERT_GE(index, 0) << raw;
                const std::string_view shown = group->captions[std::size_t(index)];
                EXPECT_EQ(text, QString::fromLatin1(shown.data(), qsizetype(shown.size())));
                EXPECT_EQ(v[QStringLiteral("hidden")].toBool(),
                          group->group == Group::MusicSelect && index == kSelectHiddenIndex);
            }
        }
        // Every value the parameter takes is described (the mute is a toggle: none).
        if (p.kind != ControlKind::Status)
            for (int raw = p.min; raw <= p.max; ++raw)
                EXPECT_EQ(given.count(raw) == 1, isSendable(*id, raw)) << raw;
        else
            EXPECT_TRUE(given.empty());
    }
    EXPECT_EQ(kinds, (std::set<QString>{QStringLiteral("level"), QStringLiteral("choice"),
                                        QStringLiteral("memory"), QStringLiteral("mute")}));
}

TEST(ParamDescription, TheStatusTextsAreThePanels)
{
    const QJsonObject status = description()[QStringLiteral("status")].toObject();
    const std::pair<const char *, Status> rows[] = {{"offline", Status::Offline},
                                                    {"online", Status::Connected}};
    for (const auto &[name, s] : rows) {
        const QJsonObject texts = status[QLatin1String(name)].toObject();
        EXPECT_EQ(texts[QStringLiteral("zh")].toString(), statusText(s, Language::Chinese));
        EXPECT_EQ(texts[QStringLiteral("en")].toString(), statusText(s, Language::English));
    }
    EXPECT_EQ(status[QStringLiteral("offline")][QStringLiteral("zh")].toString(),
              QStringLiteral("当前状态：脱机"));
}

TEST(RemoteLink, TheTokenGoesInTheFragmentEncodedAndOnlyWhenThereIsOne)
{
    struct Case
    {
        const char *url;
        const char *token;
        const char *link;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8390", "", "http://127.0.0.1:8390"},
        {"http://127.0.0.1:8390", "abcDEF-_123", "http://127.0.0.1:8390/#token=abcDEF-_123"},
        {"https://qj.venue.lan/", "a+b/c=d e", "https://qj.venue.lan/#token=a%2Bb%2Fc%3Dd%20e"},
        {"http://[::1]:9000", "t&x#y", "http://[::1]:9000/#token=t%26x%23y"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(remoteLink(QString::fromLatin1(c.url), QString::fromLatin1(c.token)),
                  QString::fromLatin1(c.link));
}

} // namespace
} // namespace qj::qjd

#include "panel/panelview.h"

#include "panel/commandbutton.h"
#include "panel/controlhelp.h"
#include "panel/controltable.h"
#include "panel/geometry.h"
#include "panel/labelstyle.h"
#include "panel/levelslider.h"
#include "panel/spinbutton.h"
#include "panel/valueaccessible.h"
#include "panel/wholeareabutton.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

namespace qj {

namespace {

constexpr int kPortDigits = 2; // port numbers run from 1 to 99
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kLampGreen(0, 192, 0);

QString nameOf(std::string_view name)
{
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// The limit spinners and the wire ids their value labels are addressed by; the parameter map
// gives each its name and range. Created at the bottom of the range, while their labels show
// the top.
struct SpinnerRow
{
    Control control;
    int wireId;
    int levelId; // the slider whose Max it sets
};

constexpr SpinnerRow kSpinners[] = {
    {Control::MaxMusicVolume, wire::kMaxMusicVolume, wire::kMusicVolume},
    {Control::MaxMicVolume, wire::kMaxMicVolume, wire::kMicVolume},
};

// Captions of the single buttons, check boxes and options, translated in this class's context.
struct CaptionRow
{
    const char *name;
    const char *caption;
};

constexpr CaptionRow kControlCaptions[] = {
    {"Mute", QT_TRANSLATE_NOOP("qj::PanelView", "Mute")},
    {"SubwoofPhase", QT_TRANSLATE_NOOP("qj::PanelView", "超低反相")},
    {"SuperBass", QT_TRANSLATE_NOOP("qj::PanelView", "超重低音")},
    {"SurroundMode1", QT_TRANSLATE_NOOP("qj::PanelView", "L/R")},
    {"SurroundMode2", QT_TRANSLATE_NOOP("qj::PanelView", "L-R")},
};

} // namespace

PanelView::PanelView(QWidget *parent) : QWidget(parent)
{
    ValueAccessible::install(); // before any control is asked for its interface
    setFixedSize(clientSize());
    addSliders();
    addGroups();
    addControls();
    addLabels();
    retranslate();
    orderFocus();
    // Delivered after the focus events of a change: the option left behind is history then.
    m_focusWatch =
        connect(qApp, &QApplication::focusChanged, this, [this] { m_optionLeft = nullptr; });
}

PanelView::~PanelView()
{
    // The controls are destroyed after this, and a control holding the focus hands it on as it
    // goes; by then this view is gone, and the watch must not hear of it.
    disconnect(m_focusWatch);
}

void PanelView::place(QWidget *widget, const QString &name)
{
    widget->setObjectName(name);
    if (const std::optional<QRect> where = designRect(name))
        widget->setGeometry(*where);
}

QLabel *PanelView::addLabel(const QString &name, const QString &text)
{
    auto *label = new QLabel(text, this);
    place(label, name);
    return label;
}

void PanelView::addSliders()
{
    for (const SliderRow &row : sliderRows()) {
        const int wireId = wireIdOf(row.name).value();
        const Parameter &param = parameter(wireId);
        const SliderPlace where = sliderPlace(row.name).value();
        const QString name = nameOf(row.name);

        auto *slider = new LevelSlider(this);
        slider->setObjectName(name);
        slider->setRange(param.min, param.max);
        slider->setValue(row.designValue);
        slider->setGeometry(where.slider);
        connect(slider, &LevelSlider::scrolled, this,
                [this, wireId] { emit sliderScrolled(wireId); });
        connect(slider, &LevelSlider::letGo, this, [this, wireId] { emit sliderLetGo(wireId); });
        // The music and microphone levels reach as far as their limit allows: so does the tip.
        connect(slider, &QAbstractSlider::rangeChanged, this,
                [this, wireId] { updateSliderTip(wireId); });
        m_sliders[wireId] = slider;

        auto *display = new QLabel(QString::fromLatin1(row.designCaption), this);
        display->setObjectName(name + QStringLiteral("Display"));
        display->setGeometry(where.display);
        styleValueLabel(*display, row.colours);
        m_displays[wireId] = display;
        slider->setValueLabel(display);

        auto *nameLabel = new QLabel(this);
        nameLabel->setObjectName(nameOf(row.nameLabel));
        nameLabel->setGeometry(where.nameLabel);
        styleTransparentLabel(*nameLabel);
    }
}

void PanelView::addGroups()
{
    for (const ButtonGroup &g : buttonGroups()) {
        for (int i = 0; i < g.count; ++i) {
            auto *button = new CommandButton(QString(), this);
            place(button, elementName(g.name, i));
            const Group group = g.group;
            connect(button, &QPushButton::clicked, this,
                    [this, group, i] { emit groupClicked(group, i); });
            m_buttons[static_cast<std::size_t>(g.group)][static_cast<std::size_t>(i)] = button;
        }
    }
    // The "SD\USB" source exists for the program but is never shown.
    button(Group::MusicSelect, kSelectHiddenIndex)->hide();
}

void PanelView::addControls()
{
    m_mute = new CommandButton(QString(), this);
    place(m_mute, QStringLiteral("Mute"));
    connect(m_mute, &QPushButton::clicked, this, &PanelView::muteClicked);

    const auto addCheckBox = [this](Control control, const QString &name) {
        auto *box = new CheckBox(this);
        place(box, name);
        connect(box, &QCheckBox::toggled, this, [this, control] { emit checkBoxChanged(control); });
        return box;
    };
    m_subwoofPhase = addCheckBox(Control::SubwoofPhase, QStringLiteral("SubwoofPhase"));
    m_subwoofPhase->hide(); // exists for the reports and the offline state only
    m_superBass = addCheckBox(Control::SuperBass, QStringLiteral("SuperBass"));

    const auto addOption = [this](Control control, const QString &name) {
        auto *option = new OptionButton(this);
        place(option, name);
        connect(option, &QRadioButton::toggled, this, [this, control](bool selected) {
            if (selected)
                emit optionSelected(control);
        });
        option->installEventFilter(this);
        return option;
    };
    m_surround1 = addOption(Control::SurroundMode1, QStringLiteral("SurroundMode1"));
    m_surround2 = addOption(Control::SurroundMode2, QStringLiteral("SurroundMode2"));

    for (const SpinnerRow &row : kSpinners) {
        const Parameter &param = parameter(row.wireId);
        const QString name = nameOf(param.control);
        auto *spinner = new SpinButton(this);
        place(spinner, name);
        spinner->setRange(param.min, param.max);
        spinner->setValue(param.min);
        const Control control = row.control;
        connect(spinner, &SpinButton::changed, this,
                [this, control] { emit spinnerChanged(control); });
        (row.control == Control::MaxMusicVolume ? m_maxMusic : m_maxMic) = spinner;

        QLabel *display = addLabel(name + QStringLiteral("Display"), QString::number(param.max));
        styleValueLabel(*display, DisplayColours::WhiteOnMenuText);
        m_displays[static_cast<std::size_t>(row.wireId)] = display;
        spinner->setValueLabel(display);
    }

    m_text1 = new QLineEdit(QStringLiteral("5"), this);
    place(m_text1, QStringLiteral("Text1"));
    m_text1->setMaxLength(kPortDigits);
}

void PanelView::addLabels()
{
    for (const LabelRow &row : headingRows())
        styleHeadingLabel(*addLabel(nameOf(row.name), QString()));

    // The lamp first, so the status text lies on it.
    m_lamp = addLabel(QStringLiteral("Label1"), QString());
    styleBorderedLabel(*m_lamp, kBlack, kLampGreen);
    m_status = addLabel(QStringLiteral("StatusDisplay"), tr("当前状态：脱机"));
    styleTransparentLabel(*m_status, kRed);
    m_status->setFont(statusFont());
}

void PanelView::retranslate()
{
    // The status lamp is left alone: its text follows the link's state, not the captions.
    for (const SliderRow &row : sliderRows())
        static_cast<QLabel *>(child(row.nameLabel))->setText(caption(row.nameCaption));
    for (const LabelRow &row : headingRows())
        static_cast<QLabel *>(child(row.name))->setText(caption(row.caption));
    for (const ButtonGroup &g : buttonGroups())
        for (int i = 0; i < g.count; ++i)
            button(g.group, i)
                ->setText(QCoreApplication::translate(
                    "qj::ButtonGroup", g.captions[static_cast<std::size_t>(i)].data()));
    for (const CaptionRow &row : kControlCaptions)
        static_cast<QAbstractButton *>(child(row.name))->setText(tr(row.caption));
    describeControls();
}

QWidget *PanelView::child(std::string_view name) const
{
    return findChild<QWidget *>(nameOf(name), Qt::FindDirectChildrenOnly);
}

QString PanelView::labelCaption(std::string_view name) const
{
    return static_cast<QLabel *>(child(name))->text();
}

void PanelView::describeControls()
{
    // Names for a screen reader where the caption stands apart from the control; the buttons,
    // boxes and options with a caption of their own are named by it already.
    for (const SliderRow &row : sliderRows())
        child(row.name)->setAccessibleName(labelCaption(row.nameLabel));
    for (const NamedByRow &row : namedByRows()) {
        const QString heading = labelCaption(row.label);
        bool isGroup = false;
        for (const ButtonGroup &g : buttonGroups()) {
            if (g.name != row.control)
                continue;
            isGroup = true;
            for (int i = 0; i < g.count; ++i)
                button(g.group, i)
                    ->setAccessibleName(
                        ControlHelp::joinedName(heading, button(g.group, i)->text()));
        }
        if (isGroup)
            continue;
        QWidget *control = child(row.control);
        if (auto *option = qobject_cast<QAbstractButton *>(control))
            option->setAccessibleName(ControlHelp::joinedName(heading, option->text()));
        else
            control->setAccessibleName(heading);
    }
    m_text1->setAccessibleName(caption(kPortNumberName));
    for (SpinButton *spinner : {m_maxMusic, m_maxMic}) {
        spinner->upArrow()->setAccessibleName(caption(kArrowUpName));
        spinner->downArrow()->setAccessibleName(caption(kArrowDownName));
    }

    // The tips, which a screen reader also reads as the description.
    for (const SliderRow &row : sliderRows())
        updateSliderTip(wireIdOf(row.name).value());
    for (const SpinnerRow &row : kSpinners)
        spinner(row.control)
            ->setToolTip(
                ControlHelp::spinnerTip(row.wireId, slider(row.levelId)->accessibleName()));
    for (const ButtonGroup &g : buttonGroups())
        for (int i = 0; i < g.count; ++i)
            button(g.group, i)->setToolTip(ControlHelp::groupButtonTip(g.group, i));
    m_mute->setToolTip(ControlHelp::muteTip());
    m_superBass->setToolTip(ControlHelp::checkBoxTip(wire::kSuperBass));
    m_subwoofPhase->setToolTip(ControlHelp::checkBoxTip(wire::kSubwoofPhase));
    for (QRadioButton *option : {m_surround1, m_surround2})
        option->setToolTip(ControlHelp::optionTip(wire::kSurround, option->text()));
    for (const MenuRow &row : menuRows())
        if (row.entry == MenuEntry::Connect)
            m_text1->setToolTip(ControlHelp::portTip(caption(row.caption)));
}

void PanelView::updateSliderTip(int wireId)
{
    LevelSlider *s = slider(wireId);
    QString limitedBy;
    for (const SpinnerRow &row : kSpinners)
        if (row.levelId == wireId && spinner(row.control)) // none yet while the window is built
            limitedBy = spinner(row.control)->accessibleName();
    s->setToolTip(ControlHelp::sliderTip(wireId, s->minimum(), s->maximum(), limitedBy));
}

void PanelView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void PanelView::orderFocus()
{
    for (const std::string_view item : focusOrder()) {
        bool isGroup = false;
        for (const ButtonGroup &g : buttonGroups()) {
            if (g.name != item)
                continue;
            isGroup = true;
            for (int i = 0; i < g.count; ++i)
                m_focusChain << button(g.group, i);
        }
        if (!isGroup)
            m_focusChain << findChild<QWidget *>(nameOf(item), Qt::FindDirectChildrenOnly);
    }
    for (qsizetype i = 1; i < m_focusChain.size(); ++i)
        setTabOrder(m_focusChain[i - 1], m_focusChain[i]);
}

bool PanelView::eventFilter(QObject *watched, QEvent *event)
{
    // The two options are one Tab stop, as an option group is: Tab and Backtab land on the
    // selected one, and leaving it goes on past its partner (arrow keys move the selection).
    QRadioButton *partner = watched == m_surround1   ? m_surround2
                            : watched == m_surround2 ? m_surround1
                                                     : nullptr;
    if (partner && event->type() == QEvent::FocusOut) {
        m_optionLeft = static_cast<QWidget *>(watched);
    } else if (partner && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        const bool fromPartner = m_optionLeft == partner;
        m_optionLeft = nullptr;
        const bool tabbed = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
        if (tabbed && partner->isChecked() && partner->isEnabled()) {
            if (fromPartner)
                focusNextPrevChild(reason == Qt::TabFocusReason);
            else
                partner->setFocus(reason);
        }
    }
    return QWidget::eventFilter(watched, event);
}

LevelSlider *PanelView::slider(int wireId) const
{
    if (wireId < 0 || wireId >= kParameterCount)
        return nullptr;
    return m_sliders[static_cast<std::size_t>(wireId)];
}

QLabel *PanelView::display(int wireId) const
{
    if (wireId < 0 || wireId >= kParameterCount)
        return nullptr;
    return m_displays[static_cast<std::size_t>(wireId)];
}

CommandButton *PanelView::button(Group group, int index) const
{
    if (index < 0 || index >= buttonGroup(group).count)
        return nullptr;
    return m_buttons[static_cast<std::size_t>(group)][static_cast<std::size_t>(index)];
}

QCheckBox *PanelView::checkBox(Control box) const
{
    return box == Control::SuperBass      ? m_superBass
           : box == Control::SubwoofPhase ? m_subwoofPhase
                                          : nullptr;
}

QRadioButton *PanelView::option(Control option) const
{
    return option == Control::SurroundMode1   ? m_surround1
           : option == Control::SurroundMode2 ? m_surround2
                                              : nullptr;
}

SpinButton *PanelView::spinner(Control spinner) const
{
    return spinner == Control::MaxMusicVolume ? m_maxMusic
           : spinner == Control::MaxMicVolume ? m_maxMic
                                              : nullptr;
}

QWidget *PanelView::widget(Control control) const
{
    switch (control) {
    case Control::SuperBass:
    case Control::SubwoofPhase:
        return checkBox(control);
    case Control::SurroundMode1:
    case Control::SurroundMode2:
        return option(control);
    case Control::MaxMusicVolume:
    case Control::MaxMicVolume:
        return spinner(control);
    }
    return nullptr;
}

} // namespace qj

#include "panel/controltable.h"

#include <QCoreApplication>

namespace qj {

namespace {

using C = DisplayColours;

// Ordered as the sliders stand on the window, upper section first.
constexpr std::array<SliderRow, kSliderCount> kSliders{{
    {"MusicTreble", 0, C::GreenOnMenuText, "0dB", "Label5", QT_TRANSLATE_NOOP("qj::Panel", "高音")},
    {"MusicMid", 0, C::GreenOnMenuText, "0dB", "Label6", QT_TRANSLATE_NOOP("qj::Panel", "中音")},
    {"MusicBass", 0, C::GreenOnMenuText, "0dB", "Label7", QT_TRANSLATE_NOOP("qj::Panel", "低音")},
    {"MusicBalance", 0, C::WhiteOnMenuText, "0dB", "Label8",
     QT_TRANSLATE_NOOP("qj::Panel", "平衡")},
    {"SubwoofLpf", 40, C::WhiteOnMenuText, "100Hz", "Label9",
     QT_TRANSLATE_NOOP("qj::Panel", "超低选频")},
    {"MicVolume", 0, C::WhiteOnBlue, "42", "Label27", QT_TRANSLATE_NOOP("qj::Panel", "话筒音量")},
    {"MusicVolume", 0, C::WhiteOnBlue, "62", "Label29", QT_TRANSLATE_NOOP("qj::Panel", "音乐音量")},
    {"SubwoofVolume", 0, C::WhiteOnBlue, "20", "Label38",
     QT_TRANSLATE_NOOP("qj::Panel", "超低音量")},
    {"CenterVolume", 0, C::WhiteOnBlue, "20", "Label39",
     QT_TRANSLATE_NOOP("qj::Panel", "中置音量")},
    {"SurroundVolume", 0, C::WhiteOnBlue, "20", "Label40",
     QT_TRANSLATE_NOOP("qj::Panel", "环绕音量")},
    {"BgmVolume", 27, C::WhiteOnBlue, "20", "Label41", QT_TRANSLATE_NOOP("qj::Panel", "背景音量")},
    {"MicEQ100Hz", 0, C::GreenOnMenuText, "0dB", "Label12",
     QT_TRANSLATE_NOOP("qj::Panel", "100Hz")},
    {"MicEQ300Hz", 0, C::GreenOnMenuText, "0dB", "Label13",
     QT_TRANSLATE_NOOP("qj::Panel", "300Hz")},
    {"MicEQ900Hz", 0, C::GreenOnMenuText, "0dB", "Label14",
     QT_TRANSLATE_NOOP("qj::Panel", "900Hz")},
    {"MicEQ2k7Hz", 0, C::GreenOnMenuText, "0dB", "Label15",
     QT_TRANSLATE_NOOP("qj::Panel", "2.7kHz")},
    {"MicEQ8kHz", 0, C::GreenOnMenuText, "0dB", "Label16", QT_TRANSLATE_NOOP("qj::Panel", "8kHz")},
    {"MicExciter", 0, C::WhiteOnMenuText, "0", "Label22", QT_TRANSLATE_NOOP("qj::Panel", "激励")},
    {"MicNoiseGate", 0, C::WhiteOnMenuText, "20", "Label23",
     QT_TRANSLATE_NOOP("qj::Panel", "噪声门")},
    {"SingSubwoofVolume", 0, C::WhiteOnMenuText, "0", "Label24",
     QT_TRANSLATE_NOOP("qj::Panel", "演唱超低量")},
    {"FeedbackTime", 80, C::WhiteOnMenuText, "0", "Label25",
     QT_TRANSLATE_NOOP("qj::Panel", "抑制时间")},
    {"EchoDelay", 70, C::WhiteOnMenuText, "180", "Label32",
     QT_TRANSLATE_NOOP("qj::Panel", "回声延时")},
    {"EchoRepat", 20, C::WhiteOnMenuText, "20", "Label33",
     QT_TRANSLATE_NOOP("qj::Panel", "回声次数")},
    {"ReverbTime", 20, C::WhiteOnMenuText, "20", "Label34",
     QT_TRANSLATE_NOOP("qj::Panel", "残响延时")},
    {"ReverbVolume", 20, C::WhiteOnMenuText, "20", "Label35",
     QT_TRANSLATE_NOOP("qj::Panel", "残响电平")},
    {"EffectVolume", 20, C::WhiteOnBlue, "20", "Label36",
     QT_TRANSLATE_NOOP("qj::Panel", "效果电平")},
}};

constexpr std::array<LabelRow, kHeadingCount> kHeadings{{
    {"Label2", QT_TRANSLATE_NOOP("qj::Panel", "音乐输入：")},
    {"Label3", QT_TRANSLATE_NOOP("qj::Panel", "音乐变调：")},
    {"Label37", QT_TRANSLATE_NOOP("qj::Panel", "消歌声模式：")},
    {"Label4", QT_TRANSLATE_NOOP("qj::Panel", "音乐均衡调整")},
    {"Label42", QT_TRANSLATE_NOOP("qj::Panel", "音乐其它功能调整")},
    {"Label10", QT_TRANSLATE_NOOP("qj::Panel", "最大音乐")},
    {"Label11", QT_TRANSLATE_NOOP("qj::Panel", "最大话筒")},
    {"Label21", QT_TRANSLATE_NOOP("qj::Panel", "环绕模式")},
    {"Label28", QT_TRANSLATE_NOOP("qj::Panel", "总音量调整")},
    {"Label30", QT_TRANSLATE_NOOP("qj::Panel", "通道音量调整")},
    {"Label44", QT_TRANSLATE_NOOP("qj::Panel", "话筒均衡调整")},
    {"Label43", QT_TRANSLATE_NOOP("qj::Panel", "话筒其它功能调整")},
    {"Label26", QT_TRANSLATE_NOOP("qj::Panel", "反馈抑制")},
    {"Label31", QT_TRANSLATE_NOOP("qj::Panel", "话筒效果调整")},
    {"Label18", QT_TRANSLATE_NOOP("qj::Panel", "Karaoke模式：")},
    {"Label20", QT_TRANSLATE_NOOP("qj::Panel", "回声模式：")},
    {"Label17", QT_TRANSLATE_NOOP("qj::Panel", "运行模式：")},
    {"Label19", QT_TRANSLATE_NOOP("qj::Panel", "保存模式：")},
}};

constexpr std::array<NamedByRow, kNamedByCount> kNamedBy{{
    {"MusicSelect", "Label2"},
    {"MusicVocal", "Label37"},
    {"MusicPitch", "Label3"},
    {"MaxMusicVolume", "Label10"},
    {"MaxMicVolume", "Label11"},
    {"SurroundMode1", "Label21"},
    {"SurroundMode2", "Label21"},
    {"FeedbackClass", "Label26"},
    {"KaraokeMode", "Label18"},
    {"EchoMode", "Label20"},
    {"RunMode", "Label17"},
    {"SaveMode", "Label19"},
}};

using M = MenuEntry;

// The open-file caption tells which language the status and message texts go with
// (PanelMenu::textLanguage).
constexpr std::array<MenuRow, kMenuCount> kMenus{{
    {M::OpenFile, "MenuOpenFile", QT_TRANSLATE_NOOP("qj::Panel", "打开文件")},
    {M::SaveFile, "MenuSaveFile", QT_TRANSLATE_NOOP("qj::Panel", "保存文件")},
    {M::SelectCom, "MenuSelectCom", QT_TRANSLATE_NOOP("qj::Panel", "串口选择")},
    {M::Connect, "MenuConnect", QT_TRANSLATE_NOOP("qj::Panel", "连接设备")},
    {M::Offline, "MenuOffline", QT_TRANSLATE_NOOP("qj::Panel", "脱开设备")},
    {M::Reset, "MenuReset", QT_TRANSLATE_NOOP("qj::Panel", "设备复位")},
    {M::ChineseEnglish, "MenuChineseEnglish", QT_TRANSLATE_NOOP("qj::Panel", "中/英文")},
    {M::HelpFile, "MenuHelpFile", QT_TRANSLATE_NOOP("qj::Panel", "帮助文件")},
    {M::Exit, "MenuExit", QT_TRANSLATE_NOOP("qj::Panel", "退出")},
}};

constexpr std::array<std::string_view, kFocusItems> kFocusOrder{{
    "MusicSelect",   "MusicVocal",   "MusicPitch",    "MusicTreble",       "MusicMid",
    "MusicBass",     "MusicBalance", "SubwoofLpf",    "MaxMusicVolume",    "MaxMicVolume",
    "SubwoofPhase",  "SuperBass",    "Mute",          "SurroundMode1",     "SurroundMode2",
    "MicVolume",     "MusicVolume",  "SubwoofVolume", "CenterVolume",      "SurroundVolume",
    "BgmVolume",     "MicEQ100Hz",   "MicEQ300Hz",    "MicEQ900Hz",        "MicEQ2k7Hz",
    "MicEQ8kHz",     "MicExciter",   "MicNoiseGate",  "SingSubwoofVolume", "FeedbackTime",
    "FeedbackClass", "EchoDelay",    "EchoRepat",     "ReverbTime",        "ReverbVolume",
    "EffectVolume",  "KaraokeMode",  "EchoMode",      "RunMode",           "SaveMode",
    "Text1",
}};

} // namespace

QString caption(const char *source)
{
    return QCoreApplication::translate(kCaptionContext, source);
}

QString elementName(std::string_view array, int index)
{
    return QString::fromLatin1(array.data(), static_cast<qsizetype>(array.size())) +
           QLatin1Char('_') + QString::number(index);
}

const std::array<SliderRow, kSliderCount> &sliderRows()
{
    return kSliders;
}

const std::array<LabelRow, kHeadingCount> &headingRows()
{
    return kHeadings;
}

const std::array<NamedByRow, kNamedByCount> &namedByRows()
{
    return kNamedBy;
}

const std::array<MenuRow, kMenuCount> &menuRows()
{
    return kMenus;
}

const std::array<std::string_view, kFocusItems> &focusOrder()
{
    return kFocusOrder;
}

} // namespace qj

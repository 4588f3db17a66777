#include "panel/helpwindow.h"

#include <QEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace qj {

namespace {

constexpr QSize kHelpSize{620, 560}; // room for the longest lines without a crowded window

// One section per topic: a heading and lines of plain text.
struct HelpSection
{
    const char *title;
    const char *body; // lines separated by '\n'
};

constexpr HelpSection kSections[] = {
    {QT_TRANSLATE_NOOP("qj::HelpWindow", "连接设备"),
     QT_TRANSLATE_NOOP("qj::HelpWindow",
                       "1. 用串口线把处理器接到电脑上，打开处理器电源。\n"
                       "2. 在窗口顶端的方框里填入端口号（1 到 99）。不知道端口号时，选“串口选择”，"
                       "从找到的串口里选一个，它的端口号会自动填入。\n"
                       "3. 选“连接设备”。处理器报告它的设置后，状态栏显示“当前状态：联机”，"
                       "面板即与处理器同步。")},
    {QT_TRANSLATE_NOOP("qj::HelpWindow", "各组控件"),
     QT_TRANSLATE_NOOP("qj::HelpWindow",
                       "音乐输入：选择音乐来源。\n"
                       "消歌声模式：音乐声道的组合；L-R 消去居中的人声。\n"
                       "音乐变调：按半音升降音乐的调；#b（绿色）为原调。\n"
                       "音乐均衡调整：音乐的高音、中音、低音、平衡和超低选频。\n"
                       "音乐其它功能调整：最大音乐、最大话筒限定两个音量推子的最高值；Mute 静音；"
                       "超重低音；环绕模式。\n"
                       "总音量调整：话筒音量和音乐音量。\n"
                       "通道音量调整：超低、中置、环绕和背景音乐的音量。\n"
                       "话筒均衡调整：话筒的五段均衡。\n"
                       "话筒其它功能调整：激励、噪声门、演唱超低量和抑制时间。\n"
                       "反馈抑制：反馈抑制的等级，OFF 为关闭。\n"
                       "话筒效果调整：回声延时、回声次数、残响延时、残响电平和效果电平。\n"
                       "Karaoke模式：声道布局。\n"
                       "回声模式：单声道或立体声回声。\n"
                       "运行模式：让处理器调出用户记忆 User1 到 User5（仅联机时）。\n"
                       "保存模式：只在面板上标出一个用户记忆，不发送给处理器。\n"
                       "红色按钮是当前的选择。联机时每次改动立即发送给处理器；脱机时只改变面板。\n"
                       "把鼠标停在一个控件上，会显示它调整什么、数值范围和单位。")},
    {QT_TRANSLATE_NOOP("qj::HelpWindow", "键盘"),
     QT_TRANSLATE_NOOP("qj::HelpWindow",
                       "Tab 和 Shift+Tab：在控件之间移动。\n"
                       "推子：↑ 和 Page Up 向上（数值变大），↓ 和 Page Down 向下，Home 到顶，"
                       "End 到底；也可以用鼠标滚轮。\n"
                       "按钮和复选框：空格键。\n"
                       "环绕模式：方向键在 L/R 和 L-R 之间切换。\n"
                       "最大音乐、最大话筒：↑ 和 ↓ 逐步调整。\n"
                       "Ctrl+O 打开文件，Ctrl+S 保存文件，F1 帮助，Ctrl+Q 退出。\n"
                       "Ctrl+Z 撤销上一步改动（最多 100 步），Ctrl+Shift+Z 或 Ctrl+Y 重做。"
                       "一步是推子的一次拖动或一次按键、一次按钮点击、复选框、环绕模式、"
                       "打开的预设文件或设备复位（连同 Mute）；运行模式和保存模式不算。"
                       "联机时撤销的设置也发送给处理器；连接设备后从头记起。")},
    {QT_TRANSLATE_NOOP("qj::HelpWindow", "状态与提示"),
     QT_TRANSLATE_NOOP("qj::HelpWindow",
                       "当前状态：脱机 — 面板没有联机，改动只改变面板。\n"
                       "当前状态：联机 — 已联机，每次改动都发送给处理器。\n"
                       "发送 3/12 — 正在把预设或复位值逐项发送给处理器。\n"
                       "数据发送失败！！！ — 处理器多次没有应答，面板已脱机。\n"
                       "设备已脱机！！！ — 串口设备断开了（例如拔掉了 USB 转串口线）。\n"
                       "端口无效！！！ — 这个端口号后面没有串口。\n"
                       "端口已打开！！！ — 端口已被本面板或别的程序占用。\n"
                       "找不到有效的串行通讯端口！！！ — 系统里没有找到串口。\n"
                       "请选择有效的串行通讯端口！！！ — 先在串口列表里选中一个串口再确定。")},
    {QT_TRANSLATE_NOOP("qj::HelpWindow", "恢复联机"),
     QT_TRANSLATE_NOOP("qj::HelpWindow",
                       "出现“设备已脱机！！！”后：关闭提示，把设备插回，面板会自己重新连接；"
                       "选“脱开设备”就不再等它。\n"
                       "出现“数据发送失败！！！”后：检查电缆和处理器电源，"
                       "选“脱开设备”（关闭端口，重新允许连接），再选“连接设备”。\n"
                       "脱机时改动过的设置，连接后会问一次：发送给处理器，还是保留处理器的设置。\n"
                       "USB 转串口线换了名字（例如插到别的接口）时，可以用“串口选择”重新选择它。")},
    {QT_TRANSLATE_NOOP("qj::HelpWindow", "文件与复位"),
     QT_TRANSLATE_NOOP(
         "qj::HelpWindow",
         "保存文件：把面板上的全部设置保存到一个文本文件。\n"
         "打开文件：先检查整个文件，有问题时说明原因，面板不变；文件无误时面板随之改变，"
         "联机时还逐项发送给处理器，状态栏显示进度。\n"
         "设备复位：确认后把面板恢复为默认值，联机时同样发送给处理器。\n"
         "中/英文：在中文和英文界面之间切换。")},
    {QT_TRANSLATE_NOOP("qj::HelpWindow", "维修"),
     QT_TRANSLATE_NOOP("qj::HelpWindow",
                       "技术人员可以用 qj-panel --trace 文件名 启动面板，面板会把收发的每个字节"
                       "连同时间和方向记录到该文件。")},
};

} // namespace

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window), m_browser(new QTextBrowser)
{
    setObjectName(QStringLiteral("HelpWindow"));
    m_browser->setOpenLinks(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    resize(kHelpSize);
    render();
}

QString HelpWindow::text() const
{
    return m_browser->toPlainText();
}

void HelpWindow::render()
{
    setWindowTitle(tr("QJ 帮助"));
    QString html;
    for (const HelpSection &section : kSections) {
        html += QStringLiteral("<h3>%1</h3>").arg(tr(section.title).toHtmlEscaped());
        for (const QString &line : tr(section.body).split(u'\n'))
            html += QStringLiteral("<p>%1</p>").arg(line.toHtmlEscaped());
    }
    m_browser->setHtml(html);
}

void HelpWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        render();
    QWidget::changeEvent(event);
}

} // namespace qj

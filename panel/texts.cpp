#include "panel/texts.h"

namespace qj {

Texts::Texts(PanelAccess &panel) : m_panel(panel) {}

QString Texts::pick(const char16_t *chinese, const char16_t *english) const
{
    return QString::fromUtf16(speaksChinese(m_panel) ? chinese : english);
}

QString Texts::offlineStatus() const
{
    return pick(u"当前状态：脱机", u"Status：offline");
}

QString Texts::connectStatus() const
{
    return pick(u"当前状态：联机", u"State：Connect");
}

void Texts::ShowError()
{
    m_panel.showMessage(pick(u"数据发送失败！！！", u"The data sends out failure！！！"));
}

void Texts::ShowConnect()
{
    m_panel.setStatusCaption(connectStatus());
}

void Texts::ShowNotCom()
{
    m_panel.showMessage(pick(u"   找不到有效的\r\n串行通讯端口！！！",
                             u"  Can not find a valid\r\nCom port！！！"));
}

void Texts::ShowSelectCom()
{
    m_panel.showMessage(pick(u"   请选择有效的\r\n串行通讯端口！！！",
                             u"  Please select a valid\r\nCom port！！！"));
}

void Texts::ShowOffline()
{
    m_panel.showMessage(pick(u"设备已脱机！！！", u"The equipments is off-line already!!!"));
}

} // namespace qj

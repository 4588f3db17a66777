<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>qj::Panel</name>
    <message>
        <source>高音</source>
        <translation>Treble</translation>
    </message>
    <message>
        <source>中音</source>
        <translation>Mid</translation>
    </message>
    <message>
        <source>低音</source>
        <translation>Bass</translation>
    </message>
    <message>
        <source>平衡</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>超低选频</source>
        <translation>Sub freq</translation>
    </message>
    <message>
        <source>话筒音量</source>
        <translation>Mic</translation>
    </message>
    <message>
        <source>音乐音量</source>
        <translation>Music</translation>
    </message>
    <message>
        <source>超低音量</source>
        <translation>Subwoofer</translation>
    </message>
    <message>
        <source>中置音量</source>
        <translation>Centre</translation>
    </message>
    <message>
        <source>环绕音量</source>
        <translation>Surround</translation>
    </message>
    <message>
        <source>背景音量</source>
        <translation>BGM</translation>
    </message>
    <message>
        <source>100Hz</source>
        <translation>100Hz</translation>
    </message>
    <message>
        <source>300Hz</source>
        <translation>300Hz</translation>
    </message>
    <message>
        <source>900Hz</source>
        <translation>900Hz</translation>
    </message>
    <message>
        <source>2.7kHz</source>
        <translation>2.7kHz</translation>
    </message>
    <message>
        <source>8kHz</source>
        <translation>8kHz</translation>
    </message>
    <message>
        <source>激励</source>
        <translation>Exciter</translation>
    </message>
    <message>
        <source>噪声门</source>
        <translation>Gate</translation>
    </message>
    <message>
        <source>演唱超低量</source>
        <translation>Vocal sub</translation>
    </message>
    <message>
        <source>抑制时间</source>
        <translation>Suppress</translation>
    </message>
    <message>
        <source>回声延时</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>回声次数</source>
        <translation>Repeats</translation>
    </message>
    <message>
        <source>残响延时</source>
        <translation>Reverb</translation>
    </message>
    <message>
        <source>残响电平</source>
        <translation>Rev. level</translation>
    </message>
    <message>
        <source>效果电平</source>
        <translation>Effect</translation>
    </message>
    <message>
        <source>音乐输入：</source>
        <translation>Source:</translation>
    </message>
    <message>
        <source>音乐变调：</source>
        <translation>Key shift:</translation>
    </message>
    <message>
        <source>消歌声模式：</source>
        <translation>Vocal cut:</translation>
    </message>
    <message>
        <source>音乐均衡调整</source>
        <translation>Music EQ</translation>
    </message>
    <message>
        <source>音乐其它功能调整</source>
        <translation>Music functions</translation>
    </message>
    <message>
        <source>最大音乐</source>
        <translation>Max music</translation>
    </message>
    <message>
        <source>最大话筒</source>
        <translation>Max mic</translation>
    </message>
    <message>
        <source>环绕模式</source>
        <translation>Surround</translation>
    </message>
    <message>
        <source>总音量调整</source>
        <translation>Master</translation>
    </message>
    <message>
        <source>通道音量调整</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>话筒均衡调整</source>
        <translation>Mic EQ</translation>
    </message>
    <message>
        <source>话筒其它功能调整</source>
        <translation>Mic functions</translation>
    </message>
    <message>
        <source>反馈抑制</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>话筒效果调整</source>
        <translation>Mic effects</translation>
    </message>
    <message>
        <source>Karaoke模式：</source>
        <translation>Karaoke:</translation>
    </message>
    <message>
        <source>回声模式：</source>
        <translation>Echo:</translation>
    </message>
    <message>
        <source>运行模式：</source>
        <translation>Recall:</translation>
    </message>
    <message>
        <source>保存模式：</source>
        <translation>Save to:</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open File</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save File</translation>
    </message>
    <message>
        <source>串口选择</source>
        <translation>Select Port</translation>
    </message>
    <message>
        <source>连接设备</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>脱开设备</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>设备复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>中/英文</source>
        <translation>中文/English</translation>
    </message>
    <message>
        <source>帮助文件</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>端口号</source>
        <translation>Port number</translation>
    </message>
    <message>
        <source>增大</source>
        <translation>Increase</translation>
    </message>
    <message>
        <source>减小</source>
        <translation>Decrease</translation>
    </message>
</context>
<context>
    <name>qj::PanelView</name>
    <message>
        <source>Mute</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>超低反相</source>
        <translation>Phase</translation>
    </message>
    <message>
        <source>超重低音</source>
        <translation>Bass+</translation>
    </message>
    <message>
        <source>L/R</source>
        <translation>L/R</translation>
    </message>
    <message>
        <source>L-R</source>
        <translation>L-R</translation>
    </message>
    <message>
        <source>当前状态：脱机</source>
        <translation>Status：offline</translation>
    </message>
</context>
<context>
    <name>qj::PortDialog</name>
    <message>
        <source>端口号</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>描述</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>制造商</source>
        <translation>Manufacturer</translation>
    </message>
    <message>
        <source>USB 标识</source>
        <translation>USB ID</translation>
    </message>
    <message>
        <source>串口选择</source>
        <translation>Select Port</translation>
    </message>
    <message>
        <source>端口号：</source>
        <translation>Port number:</translation>
    </message>
    <message>
        <source>网络设备：</source>
        <translation>Network device:</translation>
    </message>
    <message>
        <source>socket://主机:端口 或 rfc2217://主机:端口</source>
        <translation>socket://HOST:PORT or rfc2217://HOST:PORT</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>qj::StandardDialogs</name>
    <message>
        <source>QJ 预设文件 (*.json);;所有文件 (*)</source>
        <translation>QJ presets (*.json);;All files (*)</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open File</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save File</translation>
    </message>
    <message>
        <source>QJ预设.json</source>
        <translation>QJ preset.json</translation>
    </message>
    <message>
        <source>把面板上的全部设置恢复为默认值吗？
联机时这些值也会发送给处理器。</source>
        <translation>Put every setting on the panel back to its default?
While online the processor receives them too.</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>脱机时面板上的设置改动过，现在面板显示的是处理器的设置。
把脱机时的设置发送给处理器，还是保留处理器的设置？</source>
        <translation>The settings on the panel were changed while offline; the panel now shows the processor's.
Send the settings made offline to the processor, or keep the processor's?</translation>
    </message>
    <message>
        <source>发送面板设置</source>
        <translation>Send the panel's settings</translation>
    </message>
    <message>
        <source>保留处理器设置</source>
        <translation>Keep the processor's</translation>
    </message>
</context>
<context>
    <name>qj::HelpWindow</name>
    <message>
        <source>QJ 帮助</source>
        <translation>QJ Help</translation>
    </message>
    <message>
        <source>连接设备</source>
        <translation>Connecting</translation>
    </message>
    <message>
        <source>1. 用串口线把处理器接到电脑上，打开处理器电源。
2. 在窗口顶端的方框里填入端口号（1 到 99）。不知道端口号时，选“串口选择”，从找到的串口里选一个，它的端口号会自动填入。
3. 选“连接设备”。处理器报告它的设置后，状态栏显示“当前状态：联机”，面板即与处理器同步。</source>
        <translation>1. Connect the processor to the computer with the serial cable and switch it on.
2. Type the port number (1 to 99) into the box at the top of the window. If you do not know it, choose “Select Port” and pick one of the ports found; its number is filled in for you.
3. Choose “Connect”. Once the processor has reported its settings the status reads “State：Connect” and the panel follows the processor.</translation>
    </message>
    <message>
        <source>各组控件</source>
        <translation>The controls</translation>
    </message>
    <message>
        <source>音乐输入：选择音乐来源。
消歌声模式：音乐声道的组合；L-R 消去居中的人声。
音乐变调：按半音升降音乐的调；#b（绿色）为原调。
音乐均衡调整：音乐的高音、中音、低音、平衡和超低选频。
音乐其它功能调整：最大音乐、最大话筒限定两个音量推子的最高值；Mute 静音；超重低音；环绕模式。
总音量调整：话筒音量和音乐音量。
通道音量调整：超低、中置、环绕和背景音乐的音量。
话筒均衡调整：话筒的五段均衡。
话筒其它功能调整：激励、噪声门、演唱超低量和抑制时间。
反馈抑制：反馈抑制的等级，OFF 为关闭。
话筒效果调整：回声延时、回声次数、残响延时、残响电平和效果电平。
Karaoke模式：声道布局。
回声模式：单声道或立体声回声。
运行模式：让处理器调出用户记忆 User1 到 User5（仅联机时）。
保存模式：只在面板上标出一个用户记忆，不发送给处理器。
红色按钮是当前的选择。联机时每次改动立即发送给处理器；脱机时只改变面板。
把鼠标停在一个控件上，会显示它调整什么、数值范围和单位。</source>
        <translation>Source: the music source.
Vocal cut: how the music channels are combined; L-R removes a voice in the centre.
Key shift: raises or lowers the music key in semitones; #b (green) is the original key.
Music EQ: treble, mid, bass and balance of the music, and the subwoofer cut-off frequency.
Music functions: Max music and Max mic set how far the two level sliders go; Mute; Bass+ (super bass); surround mode.
Master: microphone and music level.
Channels: subwoofer, centre, surround and background music level.
Mic EQ: the five microphone bands.
Mic functions: exciter, noise gate (Gate), singing subwoofer level and feedback suppression time.
Feedback: the feedback suppression class; OFF switches it off.
Mic effects: echo delay and repeats, reverb time and level, effect level.
Karaoke: the channel layout.
Echo: single or stereo echo.
Recall: makes the processor recall user memory User1 to User5 (online only).
Save to: marks a user memory on the panel only; the processor is not told.
A red button is the current choice. While online every change goes to the processor at once; offline it changes the panel only.
Rest the pointer on a control to see what it sets, its range and its unit.</translation>
    </message>
    <message>
        <source>键盘</source>
        <translation>Keyboard</translation>
    </message>
    <message>
        <source>Tab 和 Shift+Tab：在控件之间移动。
推子：↑ 和 Page Up 向上（数值变大），↓ 和 Page Down 向下，Home 到顶，End 到底；也可以用鼠标滚轮。
按钮和复选框：空格键。
环绕模式：方向键在 L/R 和 L-R 之间切换。
最大音乐、最大话筒：↑ 和 ↓ 逐步调整。
Ctrl+O 打开文件，Ctrl+S 保存文件，F1 帮助，Ctrl+Q 退出。
Ctrl+Z 撤销上一步改动（最多 100 步），Ctrl+Shift+Z 或 Ctrl+Y 重做。一步是推子的一次拖动或一次按键、一次按钮点击、复选框、环绕模式、打开的预设文件或设备复位（连同 Mute）；运行模式和保存模式不算。联机时撤销的设置也发送给处理器；连接设备后从头记起。</source>
        <translation>Tab and Shift+Tab: move between the controls.
Sliders: Up and Page Up move up (larger values), Down and Page Down move down, Home goes to the top, End to the bottom; the mouse wheel works too.
Buttons and check boxes: the space bar.
Surround: the arrow keys switch between L/R and L-R.
Max music, Max mic: Up and Down step them.
Ctrl+O Open File, Ctrl+S Save File, F1 Help, Ctrl+Q Exit.
Ctrl+Z undoes the last change (up to 100 steps), Ctrl+Shift+Z or Ctrl+Y redoes it. A step is one drag or key step of a slider, one button click, the check box, the surround option, a preset file opened or a device reset (with Mute); Run mode and Save mode are not steps. Online, what is undone is sent to the processor too; connecting starts afresh.</translation>
    </message>
    <message>
        <source>状态与提示</source>
        <translation>Status and messages</translation>
    </message>
    <message>
        <source>当前状态：脱机 — 面板没有联机，改动只改变面板。
当前状态：联机 — 已联机，每次改动都发送给处理器。
发送 3/12 — 正在把预设或复位值逐项发送给处理器。
数据发送失败！！！ — 处理器多次没有应答，面板已脱机。
设备已脱机！！！ — 串口设备断开了（例如拔掉了 USB 转串口线）。
端口无效！！！ — 这个端口号后面没有串口。
端口已打开！！！ — 端口已被本面板或别的程序占用。
找不到有效的串行通讯端口！！！ — 系统里没有找到串口。
请选择有效的串行通讯端口！！！ — 先在串口列表里选中一个串口再确定。</source>
        <translation>Status：offline — the panel is not connected; changes affect the panel only.
State：Connect — connected; every change goes to the processor.
Sending 3/12 — a preset or the reset values are going to the processor one by one.
The data sends out failure！！！ — the processor did not answer a command; the panel is offline.
The equipments is off-line already!!! — the serial device went away (for example the USB adapter was unplugged).
端口无效！！！ (invalid port) — no serial port stands behind this number.
端口已打开！！！ (port already open) — this panel or another program holds the port.
Can not find a valid Com port！！！ — no serial port was found.
Please select a valid Com port！！！ — select a port in the list before confirming.</translation>
    </message>
    <message>
        <source>恢复联机</source>
        <translation>Getting back online</translation>
    </message>
    <message>
        <source>出现“设备已脱机！！！”后：关闭提示，把设备插回，面板会自己重新连接；选“脱开设备”就不再等它。
出现“数据发送失败！！！”后：检查电缆和处理器电源，选“脱开设备”（关闭端口，重新允许连接），再选“连接设备”。
脱机时改动过的设置，连接后会问一次：发送给处理器，还是保留处理器的设置。
USB 转串口线换了名字（例如插到别的接口）时，可以用“串口选择”重新选择它。</source>
        <translation>After “The equipments is off-line already!!!”: close the message and plug the device back in; the panel connects again by itself. “Disconnect” stops waiting for it.
After “The data sends out failure！！！”: check the cable and the processor's power, choose “Disconnect” (it closes the port and allows connecting again), then “Connect”.
Settings changed while offline: after connecting you are asked once whether to send them to the processor or keep the processor's.
If a USB adapter comes back under another name (another socket, for instance), choose it again under “Select Port”.</translation>
    </message>
    <message>
        <source>文件与复位</source>
        <translation>Files and reset</translation>
    </message>
    <message>
        <source>保存文件：把面板上的全部设置保存到一个文本文件。
打开文件：先检查整个文件，有问题时说明原因，面板不变；文件无误时面板随之改变，联机时还逐项发送给处理器，状态栏显示进度。
设备复位：确认后把面板恢复为默认值，联机时同样发送给处理器。
中/英文：在中文和英文界面之间切换。</source>
        <translation>Save File: writes every setting on the panel to a text file.
Open File: checks the whole file first; if anything is wrong it says what, and the panel stays as it was. A good file sets the panel and, while online, goes to the processor setting by setting, with the progress in the status area.
Reset: after you confirm, puts the panel back to its defaults and, while online, sends them to the processor.
中文/English: switches the window between Chinese and English.</translation>
    </message>
    <message>
        <source>维修</source>
        <translation>Service</translation>
    </message>
    <message>
        <source>技术人员可以用 qj-panel --trace 文件名 启动面板，面板会把收发的每个字节连同时间和方向记录到该文件。</source>
        <translation>Service technicians can start the panel with qj-panel --trace FILE; it then writes every byte sent and received, with its time and direction, to that file.</translation>
    </message>
</context>
<context>
    <name>qj::Parameter</name>
    <message>
        <source>静音</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>回声延时</source>
        <translation>Echo delay</translation>
    </message>
    <message>
        <source>回声次数</source>
        <translation>Echo repeats</translation>
    </message>
    <message>
        <source>残响延时</source>
        <translation>Reverb time</translation>
    </message>
    <message>
        <source>残响电平</source>
        <translation>Reverb level</translation>
    </message>
    <message>
        <source>效果电平</source>
        <translation>Effect level</translation>
    </message>
    <message>
        <source>话筒均衡 100Hz</source>
        <translation>Mic EQ 100Hz</translation>
    </message>
    <message>
        <source>话筒均衡 300Hz</source>
        <translation>Mic EQ 300Hz</translation>
    </message>
    <message>
        <source>话筒均衡 900Hz</source>
        <translation>Mic EQ 900Hz</translation>
    </message>
    <message>
        <source>话筒均衡 2.7kHz</source>
        <translation>Mic EQ 2.7kHz</translation>
    </message>
    <message>
        <source>话筒均衡 8kHz</source>
        <translation>Mic EQ 8kHz</translation>
    </message>
    <message>
        <source>话筒激励</source>
        <translation>Mic exciter</translation>
    </message>
    <message>
        <source>回声模式</source>
        <translation>Echo mode</translation>
    </message>
    <message>
        <source>反馈抑制</source>
        <translation>Feedback suppression</translation>
    </message>
    <message>
        <source>反馈抑制时间</source>
        <translation>Feedback suppression time</translation>
    </message>
    <message>
        <source>音乐高音</source>
        <translation>Music treble</translation>
    </message>
    <message>
        <source>音乐中音</source>
        <translation>Music middle</translation>
    </message>
    <message>
        <source>音乐低音</source>
        <translation>Music bass</translation>
    </message>
    <message>
        <source>音乐变调</source>
        <translation>Music key shift</translation>
    </message>
    <message>
        <source>消歌声模式</source>
        <translation>Vocal cut</translation>
    </message>
    <message>
        <source>超低音选频</source>
        <translation>Subwoofer cut-off</translation>
    </message>
    <message>
        <source>音乐平衡</source>
        <translation>Music balance</translation>
    </message>
    <message>
        <source>超重低音</source>
        <translation>Super bass</translation>
    </message>
    <message>
        <source>话筒噪声门</source>
        <translation>Mic noise gate</translation>
    </message>
    <message>
        <source>环绕模式</source>
        <translation>Surround mode</translation>
    </message>
    <message>
        <source>演唱超低音量</source>
        <translation>Singing subwoofer level</translation>
    </message>
    <message>
        <source>音乐输入</source>
        <translation>Music source</translation>
    </message>
    <message>
        <source>Karaoke模式</source>
        <translation>Karaoke channels</translation>
    </message>
    <message>
        <source>超低音反相</source>
        <translation>Subwoofer phase inversion</translation>
    </message>
    <message>
        <source>音乐音量上限</source>
        <translation>Music level limit</translation>
    </message>
    <message>
        <source>话筒音量上限</source>
        <translation>Mic level limit</translation>
    </message>
    <message>
        <source>音乐音量</source>
        <translation>Music level</translation>
    </message>
    <message>
        <source>话筒音量</source>
        <translation>Mic level</translation>
    </message>
    <message>
        <source>环绕音量</source>
        <translation>Surround level</translation>
    </message>
    <message>
        <source>中置音量</source>
        <translation>Centre level</translation>
    </message>
    <message>
        <source>超低音量</source>
        <translation>Subwoofer level</translation>
    </message>
    <message>
        <source>背景音乐音量</source>
        <translation>Background music level</translation>
    </message>
    <message>
        <source>运行模式</source>
        <translation>Run mode</translation>
    </message>
</context>
<context>
    <name>qj::ControlHelp</name>
    <message>
        <source>%1，中间 %2，两侧最多 %3</source>
        <translation>%1, %2 at the centre, up to %3 either side</translation>
    </message>
    <message>
        <source>%1，%2 到 %3</source>
        <translation>%1, %2 to %3</translation>
    </message>
    <message>
        <source>（上限由“%1”设定）</source>
        <translation> (its limit is set by "%1")</translation>
    </message>
    <message>
        <source>%1，%2 到 %3：只限制“%4”滑块的范围，不发送给处理器</source>
        <translation>%1, %2 to %3: limits the range of the "%4" slider; nothing is sent to the processor</translation>
    </message>
    <message>
        <source>选定 %1 作为保存位置；只在面板上标记，不发送给处理器</source>
        <translation>Marks %1 as the place to save to; on the panel only, nothing is sent to the processor</translation>
    </message>
    <message>
        <source>让处理器调出用户存储 %1（只在联机时）</source>
        <translation>Makes the processor recall user memory %1 (online only)</translation>
    </message>
    <message>
        <source>%1：开或关</source>
        <translation>%1: on or off</translation>
    </message>
    <message>
        <source>%1：每按一次，切换处理器的静音；红色表示已静音</source>
        <translation>%1: each press switches the processor's mute; red while muted</translation>
    </message>
    <message>
        <source>端口号，%1 到 %2：“%3”打开这个编号的串口</source>
        <translation>Port number, %1 to %2: "%3" opens the serial port with this number</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
</context>
</TS>

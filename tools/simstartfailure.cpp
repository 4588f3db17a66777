#include "tools/simstartfailure.h"

#include <QDir>

namespace qj::sim {

QString SimStartFailure::text(Language language) const
{
    const bool chinese = language == Language::Chinese;
    const QString name = QDir::toNativeSeparators(program);
    QString why;
    switch (kind) {
    case None:
        return {};
    case AlreadyRunning:
        why = chinese ? QStringLiteral("虚拟处理器已经在运行。")
                      : QStringLiteral("the virtual processor is running already.");
        break;
    case NotFound:
        why = (chinese ? QStringLiteral("找不到虚拟处理器程序 %1。")
                       : QStringLiteral("the virtual processor %1 was not found."))
                  .arg(name);
        break;
    case NotExecutable:
        why = (chinese ? QStringLiteral("虚拟处理器程序 %1 不能执行（没有执行权限）。")
                       : QStringLiteral("the virtual processor %1 cannot be run (it is not "
                                        "executable)."))
                  .arg(name);
        break;
    case NotStarted:
        why = (chinese ? QStringLiteral("虚拟处理器程序 %1 没有启动（%2）。")
                       : QStringLiteral("the virtual processor %1 did not start (%2)."))
                  .arg(name, detail);
        break;
    case Ended:
        why = (chinese ? QStringLiteral("虚拟处理器刚启动就结束了（退出码 %1）。")
                       : QStringLiteral("the virtual processor ended as it started (exit code "
                                        "%1)."))
                  .arg(exitCode);
        break;
    case Crashed:
        why = chinese ? QStringLiteral("虚拟处理器启动时崩溃了。")
                      : QStringLiteral("the virtual processor crashed as it started.");
        break;
    case Silent:
        why = chinese ? QStringLiteral("虚拟处理器没有及时报告它的串口。")
                      : QStringLiteral("the virtual processor named no serial port in time.");
        break;
    }
    QString text = (chinese ? QStringLiteral("演示模式无法启动：%1")
                            : QStringLiteral("The demo mode cannot start: %1"))
                       .arg(why);
    if (kind == Ended || kind == Crashed || kind == Silent) {
        if (output.isEmpty())
            text += chinese ? QStringLiteral("\r\n它没有说明原因。")
                            : QStringLiteral("\r\nIt gave no reason.");
        else
            text += (chinese ? QStringLiteral("\r\n它报告：\r\n%1")
                             : QStringLiteral("\r\nIt said:\r\n%1"))
                        .arg(output);
    }
    return text;
}

} // namespace qj::sim

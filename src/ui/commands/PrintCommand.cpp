#include "ui/commands/PrintCommand.h"

#include "ui/dialogs/ViberMsgPrinter.h"

namespace UiCommands {

void printMessages(QWidget* parent, const QList<_ViberMsg*>& msgs)
{
    ViberMsgPrinter printer(parent);
    printer.printMMS(msgs);
}

} // namespace UiCommands

#pragma once

#include "model/ViberRecords.h"

#include <QList>

class QWidget;

namespace UiCommands {

// Shows the print preview of msgs, from which the user prints.
void printMessages(QWidget* parent, const QList<_ViberMsg*>& msgs);

} // namespace UiCommands

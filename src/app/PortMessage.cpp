#include "app/PortMessage.h"

QString withPortName(const QString& message, const QString& port) {
    return message.contains(QLatin1String("%1")) ? message.arg(port) : message;
}

#include "core/operations/connect.h"

#include "core/link/timer_session.h"
#include "core/operations/configuration.h"

Connection connectTimer(OperationContext& op, bool readSettings, ConfigImage* read) {
    if (!op.session.wakeTimer()) return Connection::notAwake;
    if (!op.session.identifyTimer()) return Connection::notIdentified;
    if (readSettings && !readConfiguration(op, read)) return Connection::notRead;
    return Connection::connected;
}

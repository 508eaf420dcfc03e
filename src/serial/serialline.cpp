#include "serial/serialline.h"

#include <QMetaObject>

namespace serial {

void SerialLine::openLater()
{
    const PortError error = open();
    QMetaObject::invokeMethod(this, [this, error] { emit openFinished(error); }, Qt::QueuedConnection);
}

} // namespace serial

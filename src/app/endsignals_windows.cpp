// Windows sends a program no end signals; the window closes when the session ends instead
// (desktop::closeWhenSessionEnds).
#include "app/endsignals.h"

namespace quorvane::app {

EndSignals::EndSignals(QObject* parent) : QObject(parent) {}
EndSignals::~EndSignals() = default;
void EndSignals::readPipe() {}

} // namespace quorvane::app

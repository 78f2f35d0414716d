#include "FailureNotice.h"

#include "Control.h"

bool FailureNotice::note(bool ok, Control &statusLine, const QString &message)
{
    if (!ok && !failing_)
        statusLine.setText(message);
    failing_ = !ok;
    return ok;
}

#pragma once

#include <QString>

class Control;

// Tells the operator once per spell of failures of one kind (a folder or file that cannot be
// written): the first failure sets the status line, later ones stay quiet, a success ends
// the spell so that the next failure is told again.
class FailureNotice
{
public:
    // Returns `ok`, for use in conditions.
    bool note(bool ok, Control &statusLine, const QString &message);

private:
    bool failing_ = false;
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

class Form;

// `sys.txt`: 32 lines of key, colon, value. The reader takes any order and any subset, the
// writer always produces all 32 lines in their fixed order.
namespace SettingsFile
{

// Reads the file into the form's controls and variables, then applies the closing rule
// (pre-alarm 0 -> "30", post-alarm 0 -> "90") and keeps the times inside the sample ring.
// Returns false when the file cannot be read (the form then keeps its design values).
// `recPath` receives the stored "Rec Path" value.
bool read(const QString &path, Form &form, QString *recPath);

// Applies the lines of a settings text (any line ends) to the form.
void apply(const QString &content, Form &form, QString *recPath);

// Values written in place of the form's, by key ("Port" -> "502").
using Overrides = QHash<QString, QString>;

// The 32 lines, each ended by CR LF.
QByteArray compose(const Form &form, const Overrides &overrides = {});

bool write(const QString &path, const Form &form, QString *error, const Overrides &overrides = {});

// The ring holds 240 s: P <= 240 and P + A <= 240. Empty when the pair is fine, else why not.
QString checkRecordTimes(double preAlarm, double postAlarm);

} // namespace SettingsFile

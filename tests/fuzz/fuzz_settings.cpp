#include "FuzzInput.h"
#include "common/Form.h"
#include "shell/SettingsFile.h"

// Any sys.txt read into the form.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput::ensureApplication();
    const FuzzInput::TempFile file(QStringLiteral("sys.txt"), FuzzInput::bytes(data, size));
    Form form;
    QString recPath;
    SettingsFile::read(file.path, form, &recPath);
    SettingsFile::compose(form);
    return 0;
}

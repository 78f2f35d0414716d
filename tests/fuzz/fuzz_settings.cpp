#include "FuzzInput.h"
#include "shell/SettingsFile.h"

// Any sys.txt read and written back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput::ensureApplication();
    const FuzzInput::TempFile file(QStringLiteral("sys.txt"), FuzzInput::bytes(data, size));
    SystemSettings settings;
    SettingsFile::read(file.path, settings);
    SettingsFile::compose(settings);
    return 0;
}

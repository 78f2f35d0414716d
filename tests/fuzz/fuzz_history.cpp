#include "Fakes.h"
#include "FuzzInput.h"
#include "common/LiveFields.h"
#include "history/RecordFileLoader.h"

// Any file chosen in the history list, loaded into the history chart and fields.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput::ensureApplication();
    const FuzzInput::TempFile file(QStringLiteral("event.csv"), FuzzInput::bytes(data, size));
    LiveFields fields;
    RecordingChart chart{5};
    chart.recordSamples = false;
    RecordFileLoader loader(fields, chart);
    loader.load(file.path, QStringLiteral("event.csv"));
    return 0;
}

#pragma once

#include <QString>
#include <QtGlobal>
#include <libmseed.h>
#include <vector>

// A miniSEED file read back with libmseed: its contiguous segments, each with its start,
// sample rate and samples. `ok` is false when libmseed reported an error.
struct MiniSeedReadBack {
    struct Segment {
        QString channel;
        qint64 startMicros = 0;
        double sampleRate = 0;
        std::vector<qint32> samples; // integer records
        std::vector<float> floats;   // float records
    };
    bool ok = false;
    std::vector<Segment> segments;

    static MiniSeedReadBack read(const QString &path)
    {
        MiniSeedReadBack result;
        MSTraceGroup *group = nullptr;
        const QByteArray name = path.toLocal8Bit();
        const int status = ms_readtraces(&group, name.constData(), 0, -1.0, -1.0, 0, 1, 1, 0);
        result.ok = status == MS_NOERROR;
        if (group) {
            mst_groupsort(group, 1);
            for (MSTrace *trace = group->traces; trace; trace = trace->next) {
                Segment segment{QString::fromLatin1(trace->channel),
                                qint64(trace->starttime),
                                trace->samprate,
                                {},
                                {}};
                if (trace->sampletype == 'i') {
                    const auto *data = static_cast<const qint32 *>(trace->datasamples);
                    segment.samples.assign(data, data + trace->numsamples);
                } else if (trace->sampletype == 'f') {
                    const auto *data = static_cast<const float *>(trace->datasamples);
                    segment.floats.assign(data, data + trace->numsamples);
                }
                result.segments.push_back(std::move(segment));
            }
            mst_freegroup(&group);
        }
        return result;
    }
};

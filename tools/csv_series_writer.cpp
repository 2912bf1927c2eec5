#include "tools/csv_series_writer.h"

#include "host/meter_interface.h"
#include "tools/analysis_report.h"
#include "tools/number_text.h"

#include <cerrno>
#include <cmath>
#include <cstring>

CsvSeriesWriter::~CsvSeriesWriter() {
    if (file) std::fclose(file);
}

bool CsvSeriesWriter::open(const std::string& path) {
    filePath = path;
    if (!pending.create(path)) {
        errorText = pending.error();
        return false;
    }
    file = std::fopen(pending.path().c_str(), "w");
    if (!file) {
        errorText = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::fprintf(file, "time_s,band_hz,balance,level,spread,taper,highlight,left_db,right_db,"
                       "mid_db,mono_loss_db\n");
    return true;
}

void CsvSeriesWriter::write(const MeterReading& r) {
    if (!file) return;
    using number_text::shortest;
    const std::string time = shortest(static_cast<float>(r.time));
    // A level below the probes' range, or a band without signal, leaves its field empty.
    auto decibels = [](double db) {
        return std::isnan(db) ? std::string() : shortest(static_cast<float>(db));
    };
    for (int k = kAnalysedBands - 1; k >= 0; --k) {
        // A band the sample rate cannot carry has no values: its fields stay empty.
        if (isUncarriedBand(r.taper[k])) {
            std::fprintf(file, "%s,%s,,,,,,,,,\n", time.c_str(),
                         shortest(static_cast<float>(analysis_report::bandCentre(k))).c_str());
            continue;
        }
        std::fprintf(
            file, "%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s\n", time.c_str(),
            shortest(static_cast<float>(analysis_report::bandCentre(k))).c_str(),
            shortest(r.balance[k]).c_str(), shortest(r.level[k]).c_str(),
            shortest(r.spread[k]).c_str(), shortest(r.taper[k]).c_str(),
            shortest(r.highlight[k]).c_str(), decibels(r.leftDb[k]).c_str(),
            decibels(r.rightDb[k]).c_str(), decibels(r.midDb[k]).c_str(),
            decibels(analysis_report::monoLossDb(r.leftDb[k], r.rightDb[k], r.midDb[k])).c_str());
    }
}

bool CsvSeriesWriter::commit() {
    if (!file) return false;
    const bool failed = std::ferror(file) != 0;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (failed || !closed) {
        errorText = "writing '" + filePath + "' failed";
        return false;
    }
    if (!pending.commit()) {
        errorText = pending.error();
        return false;
    }
    return true;
}

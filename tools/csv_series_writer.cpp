#include "tools/csv_series_writer.h"

#include "tools/analysis_report.h"

#include <cerrno>
#include <cstring>

CsvSeriesWriter::~CsvSeriesWriter() {
    close();
}

bool CsvSeriesWriter::open(const std::string& path) {
    filePath = path;
    file = std::fopen(path.c_str(), "w");
    if (!file) {
        errorText = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::fprintf(file, "time_s,band_hz,balance,level,spread,taper,highlight\n");
    return true;
}

void CsvSeriesWriter::write(const MeterReading& r) {
    if (!file) return;
    for (int k = kAnalysedBands - 1; k >= 0; --k)
        std::fprintf(file, "%.4f,%g,%.6g,%.6g,%.6g,%.6g,%.6g\n", r.time,
                     analysis_report::bandCentre(k), r.balance[k], r.level[k], r.spread[k],
                     r.taper[k], r.highlight[k]);
}

bool CsvSeriesWriter::close() {
    if (!file) return errorText.empty();
    const bool failed = std::ferror(file) != 0;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (failed || !closed) {
        errorText = "writing '" + filePath + "' failed";
        return false;
    }
    return true;
}

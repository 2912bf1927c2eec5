#pragma once
// Writes the whole time series of meter readings as CSV: one row per poll and band. The file
// takes its name only once the series is whole (`commit`).

#include "tools/band_analyser.h"
#include "tools/output_file.h"

#include <cstdio>
#include <string>

class CsvSeriesWriter {
public:
    CsvSeriesWriter() = default;
    ~CsvSeriesWriter();
    CsvSeriesWriter(const CsvSeriesWriter&) = delete;
    CsvSeriesWriter& operator=(const CsvSeriesWriter&) = delete;

    // Creates the file under a temporary name and writes the header; false with `error()` set
    // when it cannot.
    bool open(const std::string& path);
    void write(const MeterReading& reading);
    // Flushes, closes and gives the file its name; false when anything could not be written
    // (a full disk). A series never committed leaves no file.
    bool commit();
    const std::string& error() const { return errorText; }

private:
    std::FILE* file = nullptr;
    trob::PendingFile pending;
    std::string filePath;
    std::string errorText;
};

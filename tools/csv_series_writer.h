#pragma once
// Writes the whole time series of meter readings as CSV: one row per poll and band.

#include "tools/band_analyser.h"

#include <cstdio>
#include <string>

class CsvSeriesWriter {
public:
    CsvSeriesWriter() = default;
    ~CsvSeriesWriter();
    CsvSeriesWriter(const CsvSeriesWriter&) = delete;
    CsvSeriesWriter& operator=(const CsvSeriesWriter&) = delete;

    // Creates the file and writes the header; false with `error()` set when it cannot.
    bool open(const std::string& path);
    void write(const MeterReading& reading);
    // Flushes and closes; false when anything could not be written (a full disk).
    bool close();
    const std::string& error() const { return errorText; }

private:
    std::FILE* file = nullptr;
    std::string filePath;
    std::string errorText;
};

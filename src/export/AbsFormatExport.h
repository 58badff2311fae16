#pragma once

#include <memory>

// The writer of one export format for one output file: init() opens it and
// writes the head, write() appends one record, uninit() writes the tail and
// flushes. Failures raise std::runtime_error with the file system's text.
template <typename T> class AbsFormatExport
{
public:
    virtual ~AbsFormatExport() = default;
    virtual void init() = 0;
    virtual void write(T& record) = 0;
    virtual void uninit() = 0;
};

template <typename T> using FormatExportPtr = std::shared_ptr<AbsFormatExport<T>>;

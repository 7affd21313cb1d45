// Inputs shared by the benchmarks, built once per process from the model builder.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <streambuf>
#include <string>
#include <vector>

#include "model/GeometryScan.h"

namespace benchinputs {

// The big model (see BigModel.h), its bytes and a copy on disk.
const std::vector<uint8_t>& BigModelBytes();
const std::string& BigModelPath();
// The big model as scanned by BufferScan (not released: lives for the process).
const QMobject& BigModel();

// Realistic numbers for "%f": every transformed position, texture coordinate
// and normal component of the big model, as the OBJ writer prints them.
const std::vector<float>& Coordinates();

// The hardware floor for writing Bytes of output: one memcpy of that many bytes.
void MemcpyFloor(benchmark::State& State, size_t Bytes);

// A stream buffer that appends into memory it keeps between uses, so the
// timed work does not include growing a string.
class MemorySink : public std::streambuf {
public:
    explicit MemorySink(size_t Reserve) { Data_.reserve(Reserve); }
    void Clear() { Data_.clear(); }
    const std::string& Data() const { return Data_; }

protected:
    std::streamsize xsputn(const char* S, std::streamsize N) override {
        Data_.append(S, static_cast<size_t>(N));
        return N;
    }
    int_type overflow(int_type C) override {
        if (C != traits_type::eof()) Data_.push_back(static_cast<char>(C));
        return traits_type::not_eof(C);
    }

private:
    std::string Data_;
};

}  // namespace benchinputs

// The model pipeline under its bounds: scans, OBJ text and texture export of one buffer.
#include "Exercise.h"

#include <algorithm>
#include <sstream>

#include "Bounds.h"
#include "HeapMeter.h"
#include "geometry/ObjWriter.h"
#include "texture/TextureExport.h"

namespace {

struct CountingBuf : std::streambuf {
    uint64_t Count = 0;
    int_type overflow(int_type C) override {
        if (!traits_type::eq_int_type(C, traits_type::eof())) Count++;
        return traits_type::not_eof(C);
    }
    std::streamsize xsputn(const char*, std::streamsize N) override {
        Count += static_cast<uint64_t>(N);
        return N;
    }
};

void Check(std::vector<std::string>& Broken, const char* What, uint64_t Got, uint64_t Limit) {
    if (Got > Limit)
        Broken.push_back(std::string(What) + " = " + std::to_string(Got) + ", limit " +
                         std::to_string(Limit));
}

// Empty when Got is Expected; otherwise where they first differ, and the reference's line there.
std::string Difference(const std::string& Got, const std::string& Expected) {
    if (Got == Expected) return "";
    const auto At = static_cast<size_t>(
        std::mismatch(Got.begin(), Got.end(), Expected.begin(), Expected.end()).second -
        Expected.begin());
    const size_t From = At == 0 ? 0 : Expected.rfind('\n', At - 1) + 1;  // npos + 1 is 0
    return "OBJ text differs from the reference writer's at byte " + std::to_string(At) +
           ", in its line \"" + Expected.substr(From, Expected.find('\n', From) - From) + "\"";
}

}  // namespace

Exercised ExerciseModel(const uint8_t* Data, size_t Size) {
    if (Size > 0x7FFFFFFF) return {};
    // An exact-size copy, so that AddressSanitizer sees any read past the end.
    std::vector<unsigned char> Copy(Data, Data + Size);
    unsigned char* Buff = Size > 0 ? Copy.data() : nullptr;
    CountingBuf ReportBuf, ObjBuf, BmpBuf;
    std::ostream Report(&ReportBuf), Obj(&ObjBuf), Bmp(&BmpBuf);
    uint64_t Images = 0;
    Exercised E;
    StartHeapMeter();
    QMobject Model = BufferScan(Buff, static_cast<int>(Size), Report);
    int Count = -1;
    Texture* Textures = nullptr;
    TexturesScan(Buff, static_cast<int>(Size), Count, Textures, Report);
    if (!WriteOBJ(Obj, Model)) E.Broken.push_back("the OBJ stream failed");
    const auto Sink = [&](const std::string&, BMP& Image, std::string&) {
        Images++;
        return Image.WriteToStream(Bmp);
    };
    ExportTextures("fuzz", Count, Textures, Buff, static_cast<int>(Size), Sink, nullptr, Report);
    ReleaseTextures(Textures);
    const int64_t Peak = StopHeapMeter();

    std::ostringstream Text;
    WriteOBJ(Text, Model);
    E.Obj = Text.str();
    const std::string Differs = Difference(E.Obj, ReferenceOBJ(Model));
    if (!Differs.empty()) E.Broken.push_back(Differs);
    ReleaseModel(Model);
    Check(E.Broken, "OBJ bytes", ObjBuf.Count, bounds::MaxObjBytes(Size));
    Check(E.Broken, "images", Images, bounds::MaxImages(Size));
    Check(E.Broken, "BMP bytes", BmpBuf.Count, bounds::MaxBmpBytes(Size));
    Check(E.Broken, "report bytes", ReportBuf.Count, bounds::MaxReportBytes(Size));
    // The scan always allocates, so a peak of 0 would mean that the meter counts nothing.
    if (Peak == 0) E.Broken.push_back("the heap meter counted no allocation");
    Check(E.Broken, "peak heap bytes", static_cast<uint64_t>(Peak), bounds::MaxHeapBytes(Size));
    return E;
}

// The image engine against the libraries users would otherwise have: our
// inflate against zlib and libdeflate, PNG loading (through our inflate and
// through zlib) against libpng and libspng, GIF against giflib, icons, and
// the sizes of the PNG files our writer makes against optipng. Benchmark
// names are area/case/implementation; bench/bench_table.py pairs them.
//   make bench      or      build/bench/sortia-image-bench

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include "image_inputs.h"
#include "imaging/formats/inflate.h"
#include "imaging/formats/png_parser.h"
#include "imaging/surface/c32bppdib.h"
#include "platform/zlib/zlib_library.h"
#include "reference_decoders.h"

namespace {

using bench::Bytes;

constexpr int kPhotoWidth = 1600, kPhotoHeight = 1200;
constexpr int kIconSize = 48, kIconCount = 12;

struct Inputs {
    std::map<std::string, Bytes> streams;  // zlib streams
    std::map<std::string, Bytes> pngs;
    std::map<std::string, Bytes> gifs;
    std::vector<Bytes> iconPngs, iconIcos;
};

std::size_t inflatedSize(const Bytes& stream)
{
    z_stream z{};
    inflateInit(&z);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    Bytes chunk(1 << 16);
    std::size_t total = 0;
    int r = Z_OK;
    while (r == Z_OK) {
        z.next_out = chunk.data();
        z.avail_out = uInt(chunk.size());
        r = inflate(&z, Z_NO_FLUSH);
        total += chunk.size() - z.avail_out;
    }
    inflateEnd(&z);
    return total;
}

Inputs makeInputs()
{
    Inputs in;
    const bench::Pixels rgb = bench::photo(kPhotoWidth, kPhotoHeight, 3);
    const bench::Pixels rgba = bench::photo(kPhotoWidth, kPhotoHeight, 4);
    in.pngs["photo-rgb"] = bench::encodePng(rgb, {});
    in.pngs["photo-rgba"] = bench::encodePng(rgba, {});
    in.pngs["photo-rgb-paeth"] = bench::encodePng(rgb, {.paethOnly = true});
    in.pngs["photo-rgba-paeth"] = bench::encodePng(rgba, {.paethOnly = true});
    in.pngs["palette"] = bench::encodePng(rgb, {.palette = true});
    in.pngs["adam7-rgba"] = bench::encodePng(rgba, {.interlaced = true});
    in.pngs["rgba-16bit"] = bench::encodePng(rgba, {.bitDepth = 16});
    in.pngs["grey-1bit"] = bench::encodePng(rgb, {.bitDepth = 1});
    in.pngs["screenshot"] = bench::encodePng(bench::screenshot(kPhotoWidth, kPhotoHeight), {});
    in.gifs["large"] = bench::encodeGif(rgb, false);
    in.gifs["interlaced"] = bench::encodeGif(rgb, true);
    for (int i = 0; i < kIconCount; ++i) {
        const bench::Pixels pixels = bench::icon(kIconSize, i);
        in.iconPngs.push_back(bench::encodePng(pixels, {}));
        in.iconIcos.push_back(bench::encodeIco(pixels));
    }
    const Bytes mixed = bench::mixedData();
    for (int level : {1, 6, 9})
        in.streams["mixed-level" + std::to_string(level)] = bench::zlibCompress(mixed, level);
    for (const char* name : {"photo-rgb", "photo-rgba-paeth", "screenshot"})
        in.streams[std::string(name) + "-idat"] = bench::idatStream(in.pngs[name]);
    return in;
}

const Inputs& inputs()
{
    static const Inputs in = makeInputs();
    return in;
}

void check(benchmark::State& state, bool ok)
{
    if (!ok)
        state.SkipWithError("the decoder refused the input");
}

void registerInflate(const std::string& name, const Bytes& stream)
{
    const std::size_t size = inflatedSize(stream);
    using Decode = std::function<bool(const Bytes&, Bytes&)>;
    const std::pair<const char*, Decode> decoders[] = {
        {"ours",
         [](const Bytes& in, Bytes& out) {
             Inflater inflater;
             return inflater.inflate(in, out, false) == InflateStatus::Ok && inflater.written() == out.size();
         }},
        {"zlib", bench::zlibUncompress},
        {"libdeflate", bench::libdeflateUncompress},
    };
    for (const auto& [impl, decode] : decoders) {
        benchmark::RegisterBenchmark(("inflate/" + name + "/" + impl).c_str(), [&stream, size, decode](benchmark::State& state) {
            Bytes out(size);
            for (auto _ : state)
                check(state, decode(stream, out));
            state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(size));
        })->Unit(benchmark::kMillisecond);
    }
}

// LoadPicture_Stream as the program calls it, with or without zlib.
bool loadOurs(const ByteArray& bytes, c32bppDIB& dib, bool withZlib, int iconSize = 0)
{
    zlib::setSimulateAbsent(!withZlib);
    const bool ok = dib.LoadPicture_Stream(bytes, iconSize, iconSize, 0, 0, false);
    zlib::setSimulateAbsent(false);
    return ok;
}

void registerPicture(const std::string& area, const std::string& name, const Bytes& file)
{
    using Decode = std::function<bool(benchmark::State&, const Bytes&)>;
    auto ours = [](bool withZlib) {
        return [withZlib](benchmark::State& state, const Bytes& file) {
            const ByteArray bytes(file);
            c32bppDIB dib;
            bool ok = true;
            for (auto _ : state)
                ok = loadOurs(bytes, dib, withZlib) && ok;
            return ok;
        };
    };
    auto reference = [](bool (*decode)(const Bytes&, Bytes&)) {
        return [decode](benchmark::State& state, const Bytes& file) {
            Bytes rgba;
            bool ok = true;
            for (auto _ : state)
                ok = decode(file, rgba) && ok;
            return ok;
        };
    };
    std::vector<std::pair<std::string, Decode>> decoders = {{"ours", ours(false)}};
    if (area == "png") {
        decoders.push_back({"ours+zlib", ours(true)});
        decoders.push_back({"libpng", reference(bench::libpngDecode)});
        decoders.push_back({"libspng", reference(bench::spngDecode)});
    } else {
        decoders.push_back({"giflib", reference(bench::giflibDecode)});
    }
    for (const auto& [impl, decode] : decoders)
        benchmark::RegisterBenchmark((area + "/" + name + "/" + impl).c_str(), [&file, decode](benchmark::State& state) {
            check(state, decode(state, file));
        })->Unit(benchmark::kMillisecond);
}

// One icon decoded per iteration, the set in turn: microseconds per icon.
void registerIcons()
{
    const auto loop = [](const std::vector<Bytes>& files, bool ours) {
        return [&files, ours](benchmark::State& state) {
            std::vector<ByteArray> arrays(files.begin(), files.end());
            c32bppDIB dib;
            Bytes rgba;
            bool ok = true;
            std::size_t i = 0;
            for (auto _ : state) {
                ok = (ours ? loadOurs(arrays[i], dib, false, kIconSize) : bench::libpngDecode(files[i], rgba)) && ok;
                i = (i + 1) % files.size();
            }
            check(state, ok);
        };
    };
    benchmark::RegisterBenchmark("icon/png-48/ours", loop(inputs().iconPngs, true))->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("icon/png-48/libpng", loop(inputs().iconPngs, false))->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("icon/ico-48/ours", loop(inputs().iconIcos, true))->Unit(benchmark::kMicrosecond);
}

// The PNG writer's files against what optipng makes of them (same colour
// type, one trial): the byte counts are the benchmark's counters.
std::size_t optipngSize(const Bytes& png, const QString& folder)
{
    const std::string in = (folder + "/in.png").toStdString(), out = (folder + "/out.png").toStdString();
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    std::filesystem::remove(out);
    const std::string command = "optipng -quiet -o1 -nx -out '" + out + "' '" + in + "'";
    if (std::system(command.c_str()) != 0)
        return 0;
    return std::filesystem::file_size(out);
}

void registerWriterSizes(const QString& folder)
{
    std::vector<std::pair<std::string, std::vector<const Bytes*>>> sets;
    for (const char* name : {"photo-rgb", "photo-rgba", "palette", "screenshot"})
        sets.push_back({name, {&inputs().pngs.at(name)}});
    std::vector<const Bytes*> icons;
    for (const Bytes& icon : inputs().iconPngs)
        icons.push_back(&icon);
    sets.push_back({"icons-48", icons});
    for (const auto& [name, files] : sets) {
        benchmark::RegisterBenchmark(("pngsize/" + name + "/ours").c_str(), [files](benchmark::State& state) {
            std::vector<std::unique_ptr<c32bppDIB>> surfaces;
            for (const Bytes* file : files) {
                surfaces.push_back(std::make_unique<c32bppDIB>());
                loadOurs(ByteArray(*file), *surfaces.back(), true);
            }
            double bytes = 0;
            for (auto _ : state) {
                bytes = 0;
                for (const auto& surface : surfaces) {
                    ByteArray png;
                    check(state, cPNGparser().SaveTo(QString(), png, *surface));
                    bytes += double(png.data.size());
                }
            }
            state.counters["bytes"] = bytes;
        })->Unit(benchmark::kMillisecond)->Iterations(3);
        benchmark::RegisterBenchmark(("pngsize/" + name + "/optipng").c_str(), [files, folder](benchmark::State& state) {
            double bytes = 0;
            for (auto _ : state) {
                bytes = 0;
                for (const Bytes* file : files) {
                    c32bppDIB surface;
                    loadOurs(ByteArray(*file), surface, true);
                    ByteArray png;
                    cPNGparser().SaveTo(QString(), png, surface);
                    const std::size_t size = optipngSize(png.data, folder);
                    check(state, size > 0);
                    bytes += double(size);
                }
            }
            state.counters["bytes"] = bytes;
        })->Unit(benchmark::kMillisecond)->Iterations(1);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    for (const auto& [name, stream] : inputs().streams)
        registerInflate(name, stream);
    for (const auto& [name, file] : inputs().pngs)
        registerPicture("png", name, file);
    for (const auto& [name, file] : inputs().gifs)
        registerPicture("gif", name, file);
    registerIcons();
    registerWriterSizes(folder.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "tests/support/zip_builder.h"

#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>

#include "demo/byte_writer.h"

namespace qb::test {

bool WriteZip(const std::string& path, const std::vector<ZipItem>& items) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) return false;
    bool ok = true;
    for (const ZipItem& item : items) {
        // The buffer is read at zip_close: the items outlive it.
        zip_source_t* source = zip_source_buffer(archive, item.data.data(), item.data.size(), 0);
        const zip_int64_t index = source ? zip_file_add(archive, item.name.c_str(), source, ZIP_FL_ENC_RAW) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            ok = false;
            continue;
        }
        const auto i = static_cast<zip_uint64_t>(index);
        if (item.symlink)
            ok &= zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16) == 0;
        if (!item.password.empty())
            ok &= zip_file_set_encryption(archive, i, ZIP_EM_AES_256, item.password.c_str()) == 0;
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return false;
    }
    return ok;
}

using demo::PutLe16;
using demo::PutLe32;

std::string RawZip(const std::vector<RawZipItem>& items) {
    std::string out;
    std::string central;
    for (const RawZipItem& item : items) {
        const auto offset = static_cast<uint32_t>(out.size());
        const auto declared = static_cast<uint32_t>(item.declaredSize);
        PutLe32(out, 0x04034b50);
        PutLe16(out, 20);
        PutLe16(out, item.flags);
        PutLe16(out, item.method);
        PutLe16(out, 0);
        PutLe16(out, 0x5821);  // 2024-01-01
        PutLe32(out, item.crc);
        PutLe32(out, static_cast<uint32_t>(item.stored.size()));
        PutLe32(out, declared);
        PutLe16(out, static_cast<uint32_t>(item.name.size()));
        PutLe16(out, 0);
        out += item.name;
        out += item.stored;

        PutLe32(central, 0x02014b50);
        PutLe16(central, 20);
        PutLe16(central, 20);
        PutLe16(central, item.flags);
        PutLe16(central, item.method);
        PutLe16(central, 0);
        PutLe16(central, 0x5821);
        PutLe32(central, item.crc);
        PutLe32(central, static_cast<uint32_t>(item.stored.size()));
        PutLe32(central, declared);
        PutLe16(central, static_cast<uint32_t>(item.name.size()));
        PutLe16(central, 0);
        PutLe16(central, 0);
        PutLe16(central, 0);
        PutLe16(central, 0);
        PutLe32(central, 0);
        PutLe32(central, offset);
        central += item.name;
    }
    const auto centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    PutLe32(out, 0x06054b50);
    PutLe16(out, 0);
    PutLe16(out, 0);
    PutLe16(out, static_cast<uint32_t>(items.size()));
    PutLe16(out, static_cast<uint32_t>(items.size()));
    PutLe32(out, static_cast<uint32_t>(central.size()));
    PutLe32(out, centralOffset);
    PutLe16(out, 0);
    return out;
}

uint32_t Crc32(const std::string& bytes) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string RawDeflate(const std::string& bytes) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, bytes.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string DeflatedZeros(uint64_t count, uint32_t& crc) {
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    const std::string zeros(1 << 20, '\0');
    std::string out;
    std::string chunk(1 << 16, '\0');
    uLong sum = crc32(0, nullptr, 0);
    uint64_t left = count;
    do {
        const auto now = static_cast<uInt>(std::min<uint64_t>(left, zeros.size()));
        left -= now;
        sum = crc32(sum, reinterpret_cast<const Bytef*>(zeros.data()), now);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        z.avail_in = now;
        do {
            z.next_out = reinterpret_cast<Bytef*>(chunk.data());
            z.avail_out = static_cast<uInt>(chunk.size());
            deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
            out.append(chunk.data(), chunk.size() - z.avail_out);
        } while (z.avail_out == 0);
    } while (left > 0);
    deflateEnd(&z);
    crc = static_cast<uint32_t>(sum);
    return out;
}

}  // namespace qb::test

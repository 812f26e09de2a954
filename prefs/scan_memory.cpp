#include "scan_memory.h"

#include <algorithm>

#include "../Helpers/utf.h"

namespace {

constexpr GUID k_memory_guid = {0xD2FB3A4A, 0x0AFD, 0x4674, {0xB5, 0x04, 0x03, 0xF6, 0xB8, 0xBA, 0x1E, 0xD6}};

scan_memory g_memory(k_memory_guid);

}  // namespace

scan_memory& remembered_scan_files() { return g_memory; }

std::wstring scan_path_key(const std::wstring& path) {
    std::wstring key = path;
    if (!key.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.c_str(), static_cast<int>(path.size()), key.data(),
                     static_cast<int>(key.size()));
    return key;
}

void scan_memory::index_files() {
    index_.clear();
    for (std::size_t i = 0; i < files_.size(); ++i) index_[scan_path_key(utf8_to_wide(files_[i].path))] = i;
}

std::optional<stored_scan_file> scan_memory::find(const std::wstring& path, std::uint64_t size,
                                                  std::uint64_t last_write) const {
    const std::wstring key = scan_path_key(path);
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = index_.find(key);
    if (found == index_.end()) return std::nullopt;
    const stored_scan_file& f = files_[found->second];
    if (f.size != size || f.last_write != last_write) return std::nullopt;
    return f;
}

void scan_memory::update(const std::vector<stored_scan_file>& learnt,
                         const std::function<bool(const std::wstring& path)>& forget) {
    std::vector<std::wstring> learnt_keys;
    for (const stored_scan_file& f : learnt) learnt_keys.push_back(scan_path_key(utf8_to_wide(f.path)));
    std::sort(learnt_keys.begin(), learnt_keys.end());
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<stored_scan_file> kept;
    for (stored_scan_file& f : files_) {
        const std::wstring path = utf8_to_wide(f.path);
        if (std::binary_search(learnt_keys.begin(), learnt_keys.end(), scan_path_key(path))) continue;
        if (forget && forget(path)) continue;
        kept.push_back(std::move(f));
    }
    kept.insert(kept.end(), learnt.begin(), learnt.end());
    if (kept.size() > k_max_stored_scan_files)
        kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(kept.size() - k_max_stored_scan_files));
    files_ = std::move(kept);
    index_files();
}

std::size_t scan_memory::size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return files_.size();
}

void scan_memory::clear() {
    std::lock_guard<std::mutex> guard(lock_);
    files_.clear();
    index_.clear();
}

void scan_memory::read_raw(stream_reader& in, std::size_t size, abort_callback& abort) {
    if (size > config_max_record_bytes) return;
    std::vector<unsigned char> body(size);
    in.read_object(body.data(), body.size(), abort);
    std::vector<stored_scan_file> read;
    if (!decode_scan_memory(body.data(), body.size(), read)) return;
    std::lock_guard<std::mutex> guard(lock_);
    files_ = std::move(read);
    index_files();
}

void scan_memory::write_raw(stream_writer& out, abort_callback& abort) {
    std::vector<unsigned char> body;
    {
        std::lock_guard<std::mutex> guard(lock_);
        body = encode_scan_memory(files_);
    }
    out.write(body.data(), body.size(), abort);
}

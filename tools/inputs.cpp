// Directory walk for -r. Symbolic links to directories are not followed, so a
// link back up the tree cannot make the walk endless; links to files are read
// like files.
#include "inputs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <utility>

#include "host_files.h"

#include "file_kind.h"

namespace tool {

namespace {

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool HasAudioExtension(const std::string &name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = Lower(name.substr(dot + 1));
    return ext == "mp3" || ext == "aif" || ext == "aiff" || ext == "aifc";
}

std::string BaseName(const std::string &path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string Join(const std::string &directory, const std::string &name) {
    if (directory.empty()) return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// Sorted entry names of a directory, without "." and "..". False when the
// directory cannot be opened.
bool ListDirectory(const std::string &directory, std::vector<std::string> &names, std::string &error) {
    std::error_code failure;
    std::filesystem::directory_iterator entries(host::Native(directory), failure);
    for (; !failure && entries != std::filesystem::directory_iterator(); entries.increment(failure))
        names.push_back(entries->path().filename().u8string());
    if (failure) {
        error = failure.message();
        return false;
    }
    std::sort(names.begin(), names.end());
    return true;
}

void Walk(const std::string &root, const std::string &relative, std::vector<InputFile> &out,
          std::vector<InputProblem> &problems) {
    const std::string directory = relative.empty() ? root : Join(root, relative);
    std::vector<std::string> names;
    std::string error;
    if (!ListDirectory(directory, names, error)) {
        problems.push_back({directory, {"cannot list the directory: " + error, 0,
                                        "unlistable directory"}});
        return;
    }
    for (const std::string &name : names) {
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        const std::string path = Join(root, rel);
        host::Status link {};
        if (host::Lstat(path, &link) != 0) continue; // vanished since the listing
        if (S_ISDIR(link.st_mode)) {
            Walk(root, rel, out, problems);
            continue;
        }
        host::Status target {};
        if (host::Stat(path, &target) != 0 || !S_ISREG(target.st_mode)) continue;
        if (LooksLikeAudio(path)) out.push_back({path, rel});
    }
}

} // namespace

bool LooksLikeAudio(const std::string &path) {
    if (HasAudioExtension(BaseName(path))) return true;
    std::ifstream in(host::Native(path), std::ios::binary);
    unsigned char head[12] = {};
    in.read(reinterpret_cast<char *>(head), sizeof head);
    return StartsLikeAudio(head, static_cast<size_t>(in.gcount()));
}

std::vector<InputFile> DistinctFiles(const std::vector<InputFile> &files) {
    std::set<std::pair<uint64_t, uint64_t>> seen;
    std::vector<InputFile> distinct;
    for (const InputFile &file : files) {
        const auto identity = host::Identity(file.path);
        if (identity && !seen.insert(*identity).second) continue;
        distinct.push_back(file);
    }
    return distinct;
}

std::vector<InputFile> CollectInputs(const std::vector<std::string> &files, const std::vector<std::string> &roots,
                                     std::vector<InputProblem> &problems) {
    std::vector<InputFile> out;
    for (const std::string &file : files) out.push_back({file, BaseName(file)});
    for (const std::string &root : roots) {
        host::Status st {};
        if (host::Stat(root, &st) != 0 || !S_ISDIR(st.st_mode)) {
            problems.push_back({root, {"not a directory (given to -r)", 0, "not a directory"}});
            continue;
        }
        Walk(root, "", out, problems);
    }
    return out;
}

} // namespace tool

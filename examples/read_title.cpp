// Prints the title of an MP3 file: the smallest complete use of the library.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include <tagmill/tagmill.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_title FILE.mp3\n");
        return 2;
    }
    std::setlocale(LC_CTYPE, "C.UTF-8");       // so %ls prints any title as UTF-8
    const std::string path = argv[1];          // an ASCII path, to keep the example short
    CTagmill tag;
    if (tagmill::Failed(tag.Open(std::wstring(path.begin(), path.end()), 1))) { // 1: read only
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<std::wstring> title;
    if (tag.GetString(4615, title) == tagmill::S_OK) // 4615: the title
        std::printf("%ls\n", title[0].c_str());
    tag.Close();
    return 0;
}

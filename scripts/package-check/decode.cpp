// A host of the installed library: decodes one picture through the public
// API and prints what it found, with the version the header carries.
#include <torvasoft/torvasoft.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const torvasoft::Picture picture = torvasoft::Decode(bytes.data(), bytes.size(), argv[1]);
    std::printf("%s %s %ux%u\n", torvasoft_version(), torvasoft::StatusName(picture.status), picture.layout.width,
                picture.layout.height);
    return picture.status == torvasoft::Status::Complete ? 0 : 1;
}

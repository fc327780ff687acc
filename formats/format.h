// The library's formats, as detection tells them apart. The values are those
// of the C interface's kinds.
#pragma once

namespace torva {

enum class Format : int { None = 0, Ald = 1, Alk = 2, Qnt = 3, Pms = 4, Vsp = 5 };

// Two formats have no magic number: their file's extension decides whether
// they are tried at all. This is all a name ever tells the core.
enum class Extension { Other, Ald, Vsp };

}  // namespace torva

// Names of new containers and of restored items.
//
// Both pick the first name that nothing (file, folder or link) holds yet, so
// an operation never overwrites an existing item.
#pragma once

#include <string>

namespace lockora::crypto {

// p + ".xep" when that is free, else p + "(n).xep" with the first free n:
// a.txt gives a.txt.xep, then a.txt(1).xep, a.txt(2).xep, ...
void MakeEncryptName(std::u16string& path);

// A final ".xep" comes off together with a counter right before it
// (a.txt(1).xep and a.txt.xep both give a.txt). When that name exists, a
// counter goes before its extension (a(1).txt, a counter already there is
// replaced), else in place of a final counter, else at the end (docs(1)).
void MakeDecryptName(std::u16string& path);

} // namespace lockora::crypto

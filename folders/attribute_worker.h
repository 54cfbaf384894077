// Read-only and hidden changes of files and folder trees, on a worker thread
// that reports its progress to the page.
//
// A request sets or clears both attributes on every entry it touches: the
// read-only wish is bit 0 of the attribute code, the hidden wish bit 2. A
// folder is changed together with everything beneath it. Symbolic links are
// changed as themselves (which the platform refuses) and never entered, so
// nothing outside the chosen folder is touched.
#pragma once

#include "bridge/script_value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::folders {

struct AttributeFlags {
    bool readOnly = false;
    bool hidden = false;
};

// The wishes of an attribute code: readOnlyChoice + 4 * hiddenChoice, each
// choice 0 (none), 1 (set) or 2 (clear). Only "set" sets: no choice clears.
AttributeFlags FlagsOfAttributeCode(std::int32_t code);

// Script function: param is [attribute code, [path, ...]]. Starts
// AttributeWorker on a thread of its own and returns 0 at once; the busy
// code is neither checked nor taken. Runs on the UI thread.
bridge::ScriptValue SetAttributes(const bridge::ScriptValue& param);

// The worker: `request` is [code as decimal text, path, ...]. For each path
// in order: a folder gets a trailing "\" and its tree changed first
// (ApplyAttributesTree), then the path itself is changed and
// [2, [path, percent]] is sent to BackupServiceCallUI. Ends with
// [16, last progress parameter]. Failures of single entries are not
// reported; they count as done.
void AttributeWorker(std::vector<std::u16string> request);

// The number of entries beneath `folder` (files, folders, links; hidden and
// system ones too), subfolders counted through. Links are not entered.
std::int64_t CountTreeEntries(std::u16string_view folder);

// Changes every entry beneath `folder`: the entries of a folder in listing
// order (subfolders' own attributes included), then the content of each
// subfolder in turn. After each entry `counter` grows by 1, and
// [2, [progressPath, counter * 100 / total]] is sent whenever that differs
// from the percentage at the start of the folder's listing.
void ApplyAttributesTree(std::u16string_view folder, AttributeFlags flags, std::int64_t total,
                         std::int64_t& counter, std::u16string_view progressPath);

} // namespace lockora::folders

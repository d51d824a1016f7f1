// `sea extract`: an installer's files written below a directory, one folder
// per kind (program, startup, shared, font), each with its recorded date.
//
// Nothing is ever written outside the directory: a name that is absolute,
// starts with a drive or holds a ".." part refuses the whole extraction
// before the first file is written, and every folder and file is opened
// relative to the one above it without following symbolic links, so a link
// planted inside the directory cannot lead out of it either.
#pragma once

#include "builder/reader.h"

// The parts of a record's name below its kind's folder (empty and "." parts
// dropped), or the reason the name is refused.
std::string split_record_name(const std::string& name, std::vector<std::string>& parts);

// Writes the records below dir, creating it when missing; throws
// ArchiveProblem (without code) for a refused name or a failed write.
void extract_records(const std::vector<Record>& records, const std::string& dir);

// `sea extract`: an installer's files written below a directory, one folder
// per kind (program, startup, shared, font), each with its recorded date.
//
// Nothing is ever written outside the directory. Reading the records already
// refuses a name that the archive's rule finds unsafe (absolute, a drive, a
// ".." part: code 120, as in the installer); extraction applies the same rule
// again, adds what the host needs (bytes that are no character, a name that
// names no file), and refuses the whole extraction before the first file is
// written. Every folder and file is opened relative to the one above it
// without following symbolic links, so a link planted inside the directory
// cannot lead out of it either.
#pragma once

#include "builder/reader.h"

// The parts of a record's name below its kind's folder (empty and "." parts
// dropped), or the reason the name is refused: the archive's rule first,
// then the host's own needs.
std::string split_record_name(const std::string& name, std::vector<std::string>& parts);

// Writes the records below dir, creating it when missing; throws
// ArchiveProblem (without code) for a refused name or a failed write.
void extract_records(const std::vector<Record>& records, const std::string& dir);

// `sea extract`: reads the installer at path with every check of the
// installer, then writes its records below dir. Returns the number of files.
size_t extract_installer(const std::string& path, const std::string& dir);

// Signing and signature checks through osslsigncode. A signature is found
// from the PE header's security entry first, so that an unsigned installer
// is told without the tool; the tool's verification is read only for the
// signer and the two digests. Its verdict on the certificate chain is not
// taken: a self-signed test certificate fails it, and whether a signer is
// trusted is the judgement of the system that runs the installer.
#include "builder/signing.h"

#include "builder/ansi.h"
#include "builder/reader.h"
#include "builder/system.h"

#include <stdio.h>

namespace {

std::string trimmed(const std::string& text) {
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

// The rest of the first line that begins, after blanks, with label.
std::string value_after(const std::string& output, const std::string& label) {
    size_t at = 0;
    while (at < output.size()) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        std::string line = trimmed(output.substr(at, end - at));
        if (line.compare(0, label.size(), label) == 0) return trimmed(line.substr(label.size()));
        at = end + 1;
    }
    return "";
}

// The first word of a digest line; the tool marks a mismatch behind it.
std::string first_word(const std::string& text) { return text.substr(0, text.find_first_of(" \t")); }

}  // namespace

void sign_installer(const std::string& path, const SigningOptions& options) {
    if (options.certificate.empty() || options.key.empty())
        throw BuildError("signing needs both --sign-cert and --sign-key");
    Installer installer = open_installer(path);
    const String& name = installer.header.product_name;
    std::string description(name.text(), static_cast<size_t>(name.length()));
    std::string utf8;
    if (from_ansi(description, utf8)) description = utf8;
    std::string signed_path = path + ".sea-sign-" + std::to_string(process_number());
    std::vector<std::string> command = {signing_tool, "sign", "-certs", options.certificate, "-key", options.key};
    if (!options.password.empty()) command.insert(command.end(), {"-pass", options.password});
    if (!options.timestamp_url.empty()) command.insert(command.end(), {"-ts", options.timestamp_url});
    command.insert(command.end(), {"-h", "sha256", "-n", description, "-in", path, "-out", signed_path});
    std::string output;
    int status = run_program(command, "", &output, true);
    if (status != 0) {
        remove_file(signed_path);
        throw BuildError("signing " + path + " failed" + (status < 0 ? "" : " (" + std::string(signing_tool) + ")") +
                         ": " + trimmed(output));
    }
    try {
        Installer copy = open_installer(signed_path);
        if (copy.archive_offset != installer.archive_offset || check_stub(copy) != 0)
            throw ArchiveProblem::corrupt(corrupt::image_checksum);
    } catch (const std::exception& problem) {
        remove_file(signed_path);
        throw BuildError("the signed copy of " + path + " does not read back as the installer: " + problem.what());
    }
    if (!replace_file(signed_path, path)) {
        remove_file(signed_path);
        throw BuildError("cannot replace " + path + " by its signed copy");
    }
}

SignatureCheck check_signature(const std::string& path, const Bytes& file) {
    SignatureCheck check;
    i32 size = static_cast<i32>(file.size());
    ImageFields fields = image_fields_of(file.data(), size);
    if (fields.security_offset < 0) return check;
    u32 table_offset = load_le32(&file[static_cast<size_t>(fields.security_offset)]);
    u32 table_size = load_le32(&file[static_cast<size_t>(fields.security_offset) + 4]);
    if (table_offset == 0 && table_size == 0) return check;
    check.present = true;
    if (archive_end_of(fields, table_offset, table_size, size) == size) {
        check.checked = true;
        check.problem = "its certificate table does not end the file";
        return check;
    }
    std::string output;
    int status = run_program({signing_tool, "verify", "-ignore-cdp", "-in", path}, "", &output, true);
    if (status < 0) {
        check.problem = "the signature cannot be checked: " + trimmed(output) + " (install " + signing_tool + ")";
        return check;
    }
    // "Current message digest    : E6D8...": the colon follows the blanks.
    auto digest = [&output](const char* label) {
        std::string value = value_after(output, label);
        return first_word(trimmed(value.substr(value.find(':') + 1)));
    };
    std::string current = digest("Current message digest");
    std::string calculated = digest("Calculated message digest");
    check.checked = true;
    if (current.empty() || calculated.empty()) {
        check.problem = std::string(signing_tool) + " cannot read the signature";
        return check;
    }
    check.digest_matches = current == calculated;
    check.subject = value_after(output, "Subject:");
    return check;
}

std::string signature_summary(const SignatureCheck& check) {
    if (!check.present) return "not signed";
    std::string signer = check.subject.empty() ? "signed" : "signed by " + check.subject;
    if (!check.problem.empty()) return signer + ", but " + check.problem + (check.broken() ? ": BROKEN SIGNATURE" : "");
    if (check.broken()) return signer + ", BROKEN SIGNATURE: the file has changed since it was signed";
    return signer + "; the signed digest matches the file (which says nothing about whether the signer is trusted)";
}

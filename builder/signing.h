// Signing installers with Authenticode, and reading back whether one is
// signed, by whom, and whether the file still matches what was signed.
//
// The signing and the signature's cryptography are left to osslsigncode,
// run as a separate program. Only the executable is signed: the disk files
// of a multi-disk build are no programs, and the archive's own checksums
// stand for them.
#pragma once

#include "builder/writer.h"

#include <string>

const char signing_tool[] = "osslsigncode";

struct SigningOptions {
    std::string certificate;    // the signer's certificate (PEM or DER)
    std::string key;            // its private key (PEM or DER)
    std::string password;       // the key's password, if it has one
    std::string timestamp_url;  // an RFC 3161 time-stamping service, if any
    bool requested() const { return !certificate.empty() || !key.empty(); }
};

// Signs the installer at path in place, described by its product's name. The
// signed copy must read back as the same installer before it replaces the
// file; a failure leaves the file as it was and throws BuildError (or
// ArchiveProblem for a file that is no installer).
void sign_installer(const std::string& path, const SigningOptions& options);

struct SignatureCheck {
    bool present = false;         // the PE header names a certificate table
    bool checked = false;         // it was looked at (false: the signing tool is missing)
    bool digest_matches = false;  // the digest it holds is the file's
    std::string subject;          // the signer's certificate's subject
    std::string problem;          // what is wrong with it, or why it was not checked
    // A signature that is there and does not vouch for these bytes.
    bool broken() const { return present && checked && !digest_matches; }
};

// The signature of the installer program at path, whose bytes are file.
SignatureCheck check_signature(const std::string& path, const Bytes& file);

// One line for sea verify and sea info.
std::string signature_summary(const SignatureCheck& check);

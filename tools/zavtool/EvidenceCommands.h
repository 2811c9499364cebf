#pragma once

namespace dvr::zavtool {

// `zavtool keygen [--force]`: a new Ed25519 key pair for signing manifests in the settings folder.
int runKeygenCommand(int argc, char** argv);

// `zavtool verify FILE [--source BACKUP.zav] [--key PUBLIC.pem] [--json]`: checks an exported file
// against its manifest. Exit status 0 when it matches, 1 at the first mismatch, 2 when the manifest or
// the key is missing or damaged (or the command line is wrong).
int runVerifyCommand(int argc, char** argv);

}  // namespace dvr::zavtool

#pragma once

namespace dvr::ctl {

// `vistrelctl ddns --template T --member M --name N [--json] [--timeout S]`: argv[1] is "ddns".
int runDdnsSubcommand(int argc, char** argv);

}  // namespace dvr::ctl

// zepsetup: the setup and removal program. Until the wizard's windows exist this entry
// point only starts up: it sets the system folder and reports which run the argument text
// asks for.
#include "system/Setup_API.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    try {
        Setup_API::GetSystemDir();
        std::string arguments;
        for (int i = 1; i < argc; ++i)
            arguments += (i > 1 ? " " : "") + std::string(argv[i]);
        bool removal = arguments == "UnInst";
        std::fprintf(stderr, "zepsetup: system folder %s; the %s run is not built yet\n",
                     Setup_API::SysDir.c_str(), removal ? "removal" : "installation");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zepsetup: %s\n", e.what());
        return 1;
    }
}

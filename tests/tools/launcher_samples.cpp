// Writes launchers of every form, terminal and kind of path into the folder given as the only
// argument, with a manifest (file, program path, tab-separated): the end-to-end tests hand
// them to desktop-file-validate and GLib.
#include <fstream>
#include <iostream>
#include <string>

#include "install/launchers.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: launcher_samples FOLDER\n";
        return 2;
    }
    const std::string root = argv[1];
    using launchers::Form;
    std::string manifest;
    const char* terminals[] = {"gnome-terminal", "mate-terminal", "xfce4-terminal", "xterm", ""};
    const char* folders[] = {"plain", "My Disk", "it's $HOME & co"};
    int n = 0;
    for (const char* folder : folders) {
        const std::string base = root + "/" + folder;
        for (const char* t : terminals) {
            for (Form form : {Form::A, Form::B}) {
                const std::string content =
                    form == Form::A
                        ? launchers::formAContent(launchers::terminalForFormA(t, ""),
                                                  base + "/wallet", base + "/wallet/wallet",
                                                  base + "/wallet/wallet.ico")
                        : launchers::formBContent(launchers::terminalForFormB(t, ""),
                                                  base + "/wallet/wallet", base + "/wallet.ico");
                const std::string file = root + "/" + (form == Form::A ? "A-" : "B-") +
                                         (*t ? t : "none") + "-" + std::to_string(n++) + ".desktop";
                std::ofstream(file, std::ios::binary) << content;
                manifest += file + "\t" + base + "/wallet/wallet\n";
            }
        }
    }
    std::ofstream out(root + "/manifest.tsv", std::ios::binary);
    out << manifest;
    out.close();
    if (!out) {
        std::cerr << "launcher_samples: cannot write " << root << "/manifest.tsv\n";
        return 1;
    }
    return 0;
}

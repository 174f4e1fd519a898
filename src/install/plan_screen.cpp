// The plan before a root-level installation: its lines (pure), its pages and its question.
#include "install/plan_screen.h"

#include "console/console.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/shell.h"
#include "install/launchers.h"
#include "install/receipt.h"
#include "install/summary.h"

namespace install {

namespace {

constexpr std::size_t kIndent = 5;  // continuation lines of an item
constexpr const char* kContinuedTitle = " WHAT THIS INSTALLATION WILL DO (CONTINUED)";

void add(std::vector<std::string>& out, const std::string& text, std::size_t indent = kIndent) {
    for (std::string& line : wrapped(text, kScreenColumns, indent)) out.push_back(std::move(line));
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// path below base, as written from base ("." for base itself); other paths stay whole.
std::string fromBase(const std::string& base, const std::string& path) {
    if (path == base) return ".";
    if (path.size() > base.size() && path.starts_with(base) && path[base.size()] == '/')
        return path.substr(base.size() + 1);
    return path;
}

// "   label a  b  c", wrapped under the first item.
void addList(std::vector<std::string>& out, const std::string& label,
             const std::vector<std::string>& items) {
    if (items.empty()) return;
    std::string line = "   " + label;
    for (std::size_t i = 0; i < items.size(); ++i) line += (i == 0 ? " " : "  ") + items[i];
    add(out, line, 4 + label.size());
}

std::string joined(const std::vector<provision::PackageResult>& packages,
                   provision::PackageState state) {
    std::string out;
    for (const auto& p : packages)
        if (p.state == state) out += (out.empty() ? "" : " ") + p.name;
    return out;
}

std::size_t countOf(const std::vector<provision::PackageResult>& packages,
                    provision::PackageState state) {
    std::size_t n = 0;
    for (const auto& p : packages) n += p.state == state ? 1 : 0;
    return n;
}

// "N to install (what apt says of them)", and what apt removes for them.
void addToInstall(std::vector<std::string>& out, const provision::PackageOutlook& o) {
    if (o.toInstall.empty()) {
        out.push_back("   none to install");
        return;
    }
    const provision::AptEstimate& e = o.estimate;
    std::vector<std::string> said;
    if (e.newlyInstalled)
        said.push_back(std::to_string(*e.newlyInstalled) + " new packages with what they need");
    if (e.upgraded > 0) said.push_back(std::to_string(e.upgraded) + " upgraded");
    if (!e.downloadSize.empty()) said.push_back("download " + e.downloadSize);
    if (!e.diskSpace.empty()) said.push_back(e.diskSpace + " more disk space");
    std::string detail;
    for (const std::string& s : said) detail += (detail.empty() ? "" : ", ") + s;
    add(out,
        "   " + std::to_string(o.toInstall.size()) + " to install" +
            (detail.empty() ? " (apt did not say how much they download)" : " (" + detail + ")"));
    if (e.removed == 0) return;
    std::string names;
    for (const std::string& n : e.removedNames) names += " " + n;
    add(out,
        "   and apt REMOVES " + std::to_string(e.removed) + " installed package" +
            (e.removed == 1 ? "" : "s") + " for them:" + names,
        7);
}

// "N not available here, left out:" with the names of each reason.
void addUnavailable(std::vector<std::string>& out, const provision::PackageOutlook& o) {
    using provision::PackageState;
    if (o.unavailable.empty()) return;
    out.push_back("   " + std::to_string(o.unavailable.size()) + " not available here, left out:");
    if (const std::size_t n = countOf(o.unavailable, PackageState::NotAvailable); n > 0)
        add(out,
            "     " + std::to_string(n) + " with no install candidate on this system: " +
                joined(o.unavailable, PackageState::NotAvailable),
            7);
    if (const std::size_t n = countOf(o.unavailable, PackageState::NeedsI386); n > 0)
        add(out,
            "     " + std::to_string(n) + " need the i386 architecture (" +
                provision::kEnableI386Command +
                ", not run): " + joined(o.unavailable, PackageState::NeedsI386),
            7);
}

void addSystemPackages(std::vector<std::string>& out, const provision::PackageOutlook& o) {
    out.push_back(" System packages, with sudo apt-get (after apt-get update; counted on the");
    out.push_back(" package lists as they are now):");
    addToInstall(out, o);
    if (o.alreadyInstalled > 0)
        out.push_back("   " + std::to_string(o.alreadyInstalled) + " already installed");
    addUnavailable(out, o);
    if (o.acceptsFontLicence)
        add(out,
            "   The licence of the Microsoft core fonts (ttf-mscorefonts-installer) is "
            "accepted for you");
    if (!o.changes.empty()) {
        out.push_back("   These change the system beyond laying files:");
        for (const provision::SystemChange& c : o.changes)
            add(out, "     " + std::string(c.package) + ": " + c.what, 7);
    }
}

}  // namespace

InstallPlan installPlanFor(const VariantPlan& plan, const std::string& home) {
    InstallPlan p;
    p.variant = plan.variant;
    for (const FolderStep& f : plan.folders) p.folders.push_back(f.path);
    p.base = plan.configFolder;  // the installation's own folder (wallet.cfg's)
    p.archiveFolder = plan.archivePath;
    p.files.push_back(plan.programTarget);
    p.files.push_back(plan.iconTarget);
    if (plan.tellersTarget) p.files.push_back(*plan.tellersTarget);
    p.files.push_back(plan.configFolder + "/wallet.cfg");
    p.files.push_back(plan.configFolder + "/" + receipt::kFileName);
    const launchers::Placement placement =
        launchers::automaticPlacement(plan.launcherVariant, home);
    if (placement.after == launchers::After::MoveToAllUsers) {
        p.allUsersLauncher =
            std::string(launchers::kAllUsersMenuFolder) + "/" + launchers::kAllUsersLauncherName;
    } else {
        p.launchers.push_back(placement.folder + "/" + placement.fileName);
        if (placement.after == launchers::After::CopyToUserMenu)
            p.launchers.push_back(launchers::userMenuFolder(home) + "/" + placement.fileName);
    }
    if (plan.installPackages) {
        for (const std::string& deb : walletPackages())
            p.debs.push_back(plan.sourceFolder + "/Linux/" + deb);
    }
    return p;
}

std::vector<std::string> planLines(const InstallPlan& plan) {
    std::vector<std::string> out;
    out.push_back(" BEFORE ANYTHING CHANGES: WHAT THIS INSTALLATION WILL DO");
    out.push_back(" ");
    add(out, " As you, in " + plan.base + " (made where missing):", 3);
    std::vector<std::string> folders, files;
    for (const std::string& f : plan.folders)
        if (f != plan.base) folders.push_back(fromBase(plan.base, f));
    for (const std::string& f : plan.files) files.push_back(fromBase(plan.base, f));
    addList(out, "folders", folders);
    addList(out, "files  ", files);
    add(out, "   the archive, downloaded with wget from the FTP server into " +
                 fromBase(plan.base, plan.archiveFolder));
    for (const std::string& l : plan.launchers) add(out, "   launcher " + l);
    if (!plan.debs.empty() || !plan.allUsersLauncher.empty()) {
        out.push_back(" As root, with sudo (it asks for your password):");
        for (const std::string& deb : plan.debs)
            add(out, "   dpkg -i " + nameOf(deb) + " (from the downloaded archive)");
        if (!plan.allUsersLauncher.empty())
            add(out, "   the launcher for all users, " + plan.allUsersLauncher +
                         " (it leaves your desktop)");
    }
    if (plan.packages) addSystemPackages(out, *plan.packages);
    return out;
}

std::string planQuestion(const InstallPlan& plan) {
    if (plan.variant == Variant::A)
        return " Install all of this (y), all but the system packages (f), or nothing? [y/f/N]";
    return " Install the wallet and its launcher for all users? [y/N]";
}

PlanAnswer planAnswer(const InstallPlan& plan, std::string_view key) {
    if (key == "y" || key == "Y") return PlanAnswer::Everything;
    if (plan.variant == Variant::A && (key == "f" || key == "F"))
        return PlanAnswer::WithoutSystemPackages;
    return PlanAnswer::Back;
}

std::vector<std::vector<std::string>> planPages(const InstallPlan& plan) {
    return pagesEndingWith(planLines(plan), planQuestion(plan), kContinuedTitle);
}

PlanAnswer askPlan(Variant v, const std::string& installationPath) {
    const SharedState& s = S();
    InstallPlan plan = installPlanFor(planFor(v, installationPath), s.CURRENTUSERHOMEPATH);
    if (v == Variant::A) {
        console::clearScreen();
        console::printLine(" READING WHAT THIS SYSTEM HAS INSTALLED AND CAN INSTALL - PLEASE WAIT");
        ScopedCommandTicker spinner(console::spinWhileCommandRuns);
        plan.packages = provision::lookAhead();
    }
    const auto pages = planPages(plan);
    std::string key;
    for (const auto& page : pages) {
        console::drawPage(page);
        key = console::waitMenuKey();
    }
    return planAnswer(plan, key);
}

}  // namespace install

// The plan shown before an installation that runs commands as root (the installation menu's
// key 2, the selected-wallet menu's key 3): where the wallet goes, what root is handed, which
// system packages apt-get installs and what they change, then one question. Nothing changes
// before its yes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/auto_install.h"
#include "provision/provisioning.h"

namespace install {

struct InstallPlan {
    Variant variant = Variant::A;
    std::string base;  // the installation's folder: what stands below it is shown from it
    std::vector<std::string> folders;
    std::string archiveFolder;  // where wget leaves the archive
    std::vector<std::string> files;
    std::vector<std::string> launchers;                 // the user's own
    std::vector<std::string> debs;                      // the archive's packages for dpkg -i
    std::string allUsersLauncher;                       // root installs it (empty: none)
    std::optional<provision::PackageOutlook> packages;  // the system packages (variant A)
};

enum class PlanAnswer { Everything, WithoutSystemPackages, Back };

// The plan of a variant's steps for the user whose home folder is home (packages empty).
InstallPlan installPlanFor(const VariantPlan& plan, const std::string& home);

// The plan's lines, each at most 80 columns, and its question: one line ending in "?" and the keys
// it takes, as apt's "[Y/n]" names them.
std::vector<std::string> planLines(const InstallPlan& plan);
std::string planQuestion(const InstallPlan& plan);
// The plan's screens: its lines in pages, a further page under a short title of its own, and
// the question on the last.
std::vector<std::vector<std::string>> planPages(const InstallPlan& plan);
// y or Y: everything; f or F (variant A): all but the system packages;
// any other key (Enter included): back, nothing changed.
PlanAnswer planAnswer(const InstallPlan& plan, std::string_view key);

// The status after a no.
inline constexpr const char* kPlanDeclinedStatus = "Installation Cancelled, Nothing Changed";

// Works out the plan of variant v at the installation path (asking dpkg and apt as the user
// for variant A), shows its pages (a key for each further one) and the question, and returns
// the answer.
PlanAnswer askPlan(Variant v, const std::string& installationPath);

}  // namespace install

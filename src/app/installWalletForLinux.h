// Index of the installer: every routine of the system under its documented name, through the
// header of the subsystem that owns it. Only main and the tests include it; the system's own
// files include the headers of what they call, so their includes draw the real graph.
// Routines take no parameters and return nothing; they work on the shared state (S()).
#pragma once

#include "app/menu_driver.h"
#include "app/startup.h"
#include "cipher/text_cipher.h"
#include "config/custom_file.h"
#include "config/object_marker_file.h"
#include "config/system_profile.h"
#include "console/console.h"
#include "core/shared_state.h"
#include "help/advanced_menu.h"
#include "host/file_ops.h"
#include "host/os_detect.h"
#include "host/shell_capture.h"
#include "install/install_menu.h"
#include "install/manual_menu.h"
#include "install/removal.h"
#include "install/selected_wallet_menu.h"
#include "net/downloads.h"
#include "privilege/privilege.h"
#include "provision/provisioning.h"
#include "stardate/stardate.h"
#include "storage/storage_survey.h"
#include "storage/wallet_scan.h"

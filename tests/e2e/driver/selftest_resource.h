// Resource ids of the driver's selftest program.
#pragma once

#define IDD_SELFTEST 100
#define IDD_SELFPROGRESS 101
#define IDC_PATH 1000
#define IDC_BROWSE 1001
#define IDC_CANCEL 1002
#define IDC_PROGRESS 1003

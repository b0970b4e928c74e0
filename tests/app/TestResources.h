// Resource ids of the in-process test programs' own dialog and pictures.
#pragma once

#define IDD_TEST_DIALOG 900
#define IDC_TEST_SKINNED 901
#define IDC_TEST_SKINNED_TWIN 902
#define IDC_TEST_NO_DISABLED 903
#define IDC_TEST_NO_FOCUS 904
#define IDC_TEST_HALF 905
#define IDC_TEST_EMPTY_CAPTION 906
#define IDC_TEST_TEXT 907
#define IDC_TEST_LIST 908
#define IDC_TEST_MISSING 999

#pragma once

// Numbers of the program's resources and of the controls in its windows, shared by the
// resource script and the code.

#define IDI_TAVRIN 1

#define IDD_SERIAL_AUTO 101       /* frmSeriennrAuto */
#define IDD_SERIAL_NO_PATIENT 102 /* frmSeriennrNoPatient */
#define IDD_SERIAL_ENTRY 103      /* frmSeriennummer */

/* Controls of the serial-number dialogs. The button that Enter presses is IDOK (cmdAuto,
   cmdUebernehmen); the cancel buttons are IDCANCEL, so that Esc presses them. */
#define IDC_LABEL 1001        /* lblBezeichnung */
#define IDC_MANUAL 1002       /* cmdManuell */
#define IDC_OPEN_PATIENT 1003 /* cmdOpen */
#define IDC_SERIAL_TEXT 1004  /* txtSeriennummer */

/* Controls of the main window. The start button is IDOK, the close button IDCANCEL. */
#define IDC_INSTRUCTION 2001 /* lblAuswahl */
#define IDC_PATH 2002        /* txtImportDatei */
#define IDC_BROWSE 2003      /* cmdDurchsuchen */
#define IDC_STATUS 2004      /* lblStatus */
#define IDC_PROGRESS 2005    /* pbarStatus */
#define IDC_SEPARATOR 2006   /* linTrenner */
#define IDC_VERSION 2007     /* lblVersion */
#define IDC_LOGO 2008        /* imgKELSAR */

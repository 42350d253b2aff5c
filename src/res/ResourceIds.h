#pragma once
// Ids of the program's icons and pictures. Plain macros, because the resource compiler reads this file
// too. The pictures are PNG files of type "IMAGE", drawn at build time by scripts/make-images.py into
// image<id>.png.

// Icons. The program icon comes first: Explorer shows the first icon group of a file.
#define IDI_PROGRAM 1
#define IDI_FOLDER_PAIR 3  // the small icon of a folder pair in the job list

// Pictures for buttons and menu items.
#define IDIMG_FIRST 141
#define IDIMG_ADD_PAIR 141        // plus
#define IDIMG_REMOVE_PAIR 142     // minus
#define IDIMG_EDIT_PAIR 143       // pencil
#define IDIMG_SAVE 144            // floppy disk
#define IDIMG_START 145           // play triangle; also resume
#define IDIMG_OPEN 146            // open folder
#define IDIMG_SAVE_AS 147         // floppy disk with a pen
#define IDIMG_PAUSE 148           // two bars
#define IDIMG_CANCEL 149          // red cross; also remove all
#define IDIMG_SETTINGS 150        // gear; settings and installation
#define IDIMG_MOVE_UP 151         // arrow up
#define IDIMG_MOVE_DOWN 152       // arrow down
#define IDIMG_ERROR_REPORT 153    // document with a warning sign
#define IDIMG_SCHEDULE 154        // clock
#define IDIMG_AUTO_UPDATE 155     // circular arrows
#define IDIMG_BROWSE_FOLDER 156   // folder with a magnifying glass
#define IDIMG_FTP_SERVER 157      // server with a globe
#define IDIMG_INFORMATION 158     // "i" in a circle
#define IDIMG_APP_MENU 159        // three bars
#define IDIMG_LAST 159

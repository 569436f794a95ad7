// Resource ids of the built-in artwork (RCDATA JPEGs made by art/make_artwork.sh).
#pragma once

#define IDR_HEADER_PICTURE 101 /* MainForm Image1, 690 x 59 */
#define IDR_BANNER_PICTURE 102 /* MainForm Image2, 171 x 391 */
#define IDR_FRAME_PICTURE 103  /* MainForm Image4, 506 x 380 */
#define IDR_BAR_PICTURE 104    /* MainForm Image3, 1 x 43 */

/* Strings 1..14 as the program gets them from LoadStringA: English in code page 1252, Japanese in 932.
   One table for the resource checker on the host and the string test under Wine. */
#ifndef MOXU_EXPECTED_STRINGS_H
#define MOXU_EXPECTED_STRINGS_H

#include "resource.h"

struct ExpectedString {
    unsigned id;
    const char *english;    /* code page 1252 */
    const char *japanese;   /* code page 932 */
};

/* The maker's notice line ends string 2 in both languages. */
#define EXPECTED_NOTICE "Copyright (C) 1998 Zendrik Corp."
static const ExpectedString kExpectedStrings[] = {
    {IDS_MENU_ABOUT, "About Zendrik", "Zendrik\x82\xC9\x82\xC2\x82\xA2\x82\xC4"},
    {IDS_ABOUT_TEXT, "Zendrik \nVersion 1.02\n\n" EXPECTED_NOTICE,
     "Zendrik\xD5\xB0\xC3\xA8\xD8\xC3\xA8\nVersion 1.02\n\n" EXPECTED_NOTICE},
    {IDS_OK, "OK", "OK"},
    {IDS_UNLOAD_QUESTION, "Do you really want to quit\n Zendrik?",
     "Zendrik\x82\xF0\x8F" "I\x97\xB9\x82\xB5\x82\xDC\x82\xB7\x82\xA9?"},
    {IDS_CANCEL, "Cancel", "\xB7\xAC\xDD\xBE\xD9"},
    {IDS_CHANGE_PROMPT, "Please close any application using Swap Bay device. Press OK to enter sleep mode. ",
     "Swap Bay\xC3\xDE\xCA\xDE\xB2\xBD\x82\xF0\x8E" "g\x97p\x82\xB5\x82\xC4\x82\xA2\x82\xE9"
     "\xB1\xCC\xDF\xD8\xB9\xB0\xBC\xAE\xDD\x82\xF0\x95\xC2\x82\xB6\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B"
     "OK\x82\xF0\x89\x9F\x82\xB5\x82\xC4\xBD\xD8\xB0\xCC\xDF\xD3\xB0\xC4\xDE\x82\xC9\x90\xD8\x82\xE8\x91\xD6"
     "\x82\xA6\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B"},
    {IDS_CHANGE_REFUSED, "You can not change this Swap Bay.",
     "\x82\xB1\x82\xCCSwap Bay\x82\xCD\x95\xCF\x8D" "X\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B"},
    {IDS_MENU_CHANGE, "Change Swap Bay", "Swap Bay\x82\xCC\x95\xCF\x8D" "X"},
    {IDS_MENU_UNLOAD, "Unload Zendrik", "Zendrik\x82\xCC\x8D\xED\x8F\x9C"},
    {IDS_TIP_BAY_EXIST, "Swap Bay Exist", "Swap Bay\x82\xA0\x82\xE8"},
    {IDS_TIP_NO_BAY, "No Swap Bay", "Swap Bay\x82\xC8\x82\xB5"},
    {IDS_CAPTION_CHANGE, "Change Swap Bay", "Swap Bay\x82\xCC\x95\xCF\x8D" "X"},
    {IDS_CAPTION_ABOUT, "About Zendrik", "Zendrik\x82\xC9\x82\xC2\x82\xA2\x82\xC4"},
    {IDS_CAPTION_UNLOAD, "Unload Zendrik", "Zendrik\x82\xCC\x8D\xED\x8F\x9C"},
};

#endif

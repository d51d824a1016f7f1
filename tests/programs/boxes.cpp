// Shows one of the standard boxes of the installer, chosen by the command
// line, so that the robot can check its title, text and buttons:
//   boxes corrupt CODE | usage MESSAGE | assert | error [/a] | fatal-early |
//         font | terminate
// "fatal-early" reports before the background window exists; the others
// start up as the installer does first.
#include "installer/installer.h"

#include <stdlib.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE module_instance, HINSTANCE, LPSTR command_text, int) {
    String line(command_text);
    String verb = line.take_argument();
    String argument = line.take_argument();
    if (verb.compare_no_case("fatal-early") == 0) fatal_error("Reported before start-up: %s", argument.text());
    if (verb.compare_no_case("terminate") == 0) terminate_run();
    start_up(module_instance);
    if (verb.compare_no_case("corrupt") == 0) corrupt_archive(argument.to_int());
    if (verb.compare_no_case("usage") == 0) show_usage(argument.text());
    if (verb.compare_no_case("assert") == 0) assertion_failed("name != NULL", "registry", 42);
    if (verb.compare_no_case("error") == 0) {
        automatic = argument.compare_no_case("/a") == 0;
        error_box("Unable to write %s: %d", "C:\\x.txt", 5);
        fatal_error("error_box returned");
    }
    if (verb.compare_no_case("font") == 0) {
        broadcast_font_change();
        fatal_error("font change sent");
    }
    fatal_error("unknown verb: %s", verb.text());
}

/* A notification area for the idle-CPU benchmark under Xvfb: it owns the
 * system-tray selection of screen 0, so that the program finds a tray and
 * starts hidden in it (--background). Icons that ask to dock are left alone:
 * nobody looks at them. Runs until killed.
 *
 *   cc -O2 -o tray-owner tray-owner.c -lX11
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>

int main(void) {
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "tray-owner: no display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const Window owner = XCreateSimpleWindow(display, root, -1, -1, 1, 1, 0, 0, 0);
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    XSetSelectionOwner(display, selection, owner, CurrentTime);
    if (XGetSelectionOwner(display, selection) != owner) {
        fprintf(stderr, "tray-owner: another notification area runs\n");
        return 1;
    }
    /* Clients that started before us learn of the new tray from this message. */
    XClientMessageEvent manager = {0};
    manager.type = ClientMessage;
    manager.window = root;
    manager.message_type = XInternAtom(display, "MANAGER", False);
    manager.format = 32;
    manager.data.l[0] = CurrentTime;
    manager.data.l[1] = (long)selection;
    manager.data.l[2] = (long)owner;
    XSendEvent(display, root, False, StructureNotifyMask, (XEvent*)&manager);
    XFlush(display);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

// The real OpenRGB SDK client from the npm registry against velkor
// --headless --simulate --sdk-server: node sdk_client.js MODULE PORT VELKORCTL SIMLOG
const { execFileSync } = require("child_process");
const fs = require("fs");
const [moduleDir, port, ctl, simLog] = process.argv.slice(2);
const { Client } = require(moduleDir);

let failed = false;
function check(what, ok) {
    console.log((ok ? "ok: " : "FAILED: ") + what);
    failed = failed || !ok;
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
async function until(what, test, ms) {
    for (const end = Date.now() + ms; Date.now() < end; await sleep(100)) {
        if (await test()) return true;
    }
    return false;
}
const ctlOut = (...args) => {
    try { return execFileSync(ctl, args, { encoding: "utf8" }).trim(); } catch (e) { return ""; }
};

(async () => {
    const client = new Client("sdk end-to-end", +port, "127.0.0.1");
    let listUpdated = false;
    client.on("deviceListUpdated", () => { listUpdated = true; });
    await client.connect(5000);
    check("protocol version 5 agreed", client.protocolVersion === 5);

    const devices = await client.getAllControllerData();
    const types = devices.map((d) => d.type).sort().join(",");
    check(`five controllers: two keyboards, mouse, mouse pad, headset (${types})`, types === "5,5,6,7,8");
    check("every controller has its zones, LEDs and modes",
          devices.every((d) => d.zones.length === 1 && d.leds.length > 0 && d.modes.length > 1 &&
                               d.colors.length === d.leds.length && d.vendor.length > 0));
    const keyboard = devices.find((d) => d.description.includes("keyboard-50b7"));
    const mouse = devices.find((d) => d.type === 6);
    const matrix = keyboard && keyboard.zones[0].matrix;
    check("the keyboard's zone is a key grid of its named keys",
          !!matrix && matrix.height >= 5 && keyboard.leds.some((l) => l.name === "Key: Esc"));
    check("Direct on the keyboards and the headset, not on the mouse",
          keyboard.modes.some((m) => m.name === "Direct") && !mouse.modes.some((m) => m.name === "Direct") &&
          devices.find((d) => d.type === 8).modes.some((m) => m.name === "Direct"));
    const staticMode = mouse.modes.find((m) => m.name === "Static");
    check("the mouse's Static mode takes a colour and a brightness 0..4",
          staticMode && staticMode.flagList.includes("modeSpecificColor") && staticMode.brightnessMax === 4);

    // Sent again while the mouse is still being read (the program refuses it as busy then).
    let tries = 0;
    check("a mode with a colour set on the mouse reads back through velkorctl get",
          await until("mouse", async () => {
              if (tries++ % 10 === 0) {
                  await client.updateMode(mouse.deviceId, { name: "Static", colors: [{ red: 0x20, green: 0x40, blue: 0x60 }] });
              }
              return ctlOut("get", "mouse-7070", "effect-name") === "Static" && ctlOut("get", "mouse-7070", "colour") === "#204060";
          }, 15000));
    const again = await client.getControllerData(mouse.deviceId);
    check("the controller shows the mode set", again.modes[again.activeMode].name === "Static");

    const sdk = ctlOut("sdk");
    check("velkorctl sdk names the port and this client", sdk.includes(`port ${port}`) && sdk.includes("sdk end-to-end"));

    await client.updateMode(keyboard.deviceId, "Direct");
    const colours = keyboard.leds.map(() => ({ red: 0x12, green: 0x34, blue: 0x56 }));
    // A live frame to the keyboard (command 0x12) carrying the colour sent.
    const inFrames = () => fs.existsSync(simLog) &&
        fs.readFileSync(simLog, "utf8").split("\n").some((l) => / out keyboard 04 .. .. 12 .*12 34 56 12 34 56/.test(l));
    const sent = await until("frames", async () => { client.updateLeds(keyboard.deviceId, colours); return inFrames(); }, 10000);
    check("Direct colours reach the simulated keyboard's live frames", sent);
    const direct = await client.getControllerData(keyboard.deviceId);
    check("the keyboard's active mode is Direct", direct.modes[direct.activeMode].name === "Direct");

    // The package passes a packet of the server's own on only while it waits
    // for an answer: a request for a controller that is not there stays unanswered.
    client.getControllerData(99);
    check("the unplugged pad is announced as a device-list update", await until("list", () => listUpdated, 40000));
    const left = await client.getAllControllerData();
    check("four controllers remain, none a mouse pad", left.length === 4 && !left.some((d) => d.type === 7));
    client.disconnect();
    process.exit(failed ? 1 : 0);
})().catch((e) => { console.log("FAILED: " + e); process.exit(1); });

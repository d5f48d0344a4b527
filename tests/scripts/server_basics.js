// The server as a JScript client sees it: created by name, called by late binding.
var passed = 0, failed = 0;

function check(what, ok, detail) {
    if (ok) {
        passed++;
    } else {
        failed++;
        WScript.Echo("FAILED: " + what + (detail !== undefined ? " (got " + detail + ")" : ""));
    }
}

function raises(call) {
    try {
        call();
        return false;
    } catch (e) {
        return true;
    }
}

try {
    var vexa = new ActiveXObject("Vexa.Server");
    check("version as a method", vexa.version() === "1.04", vexa.version());
    check("version as a property", vexa.version === "1.04", vexa.version);
    check("an unknown method raises an error", raises(function () { vexa.noSuchMethod(); }));
    check("beep without arguments", !raises(function () { vexa.beep(); }));
    check("beep with frequency and duration", !raises(function () { vexa.beep(440, 10); }));
    check("beep with one argument raises an error", raises(function () { vexa.beep(440); }));
    check("version with an argument raises an error", raises(function () { vexa.version(1); }));
    check("a result ignored as a statement", !raises(function () { vexa.version(); }));
} catch (e) {
    check("the script runs to its end", false, e.message);
}
WScript.Echo("script-result: " + passed + " passed, " + failed + " failed");
WScript.Quit(failed ? 1 : 0);

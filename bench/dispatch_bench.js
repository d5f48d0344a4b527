// Row 2: 100,000 calls from JScript through the script host, Vexa.Server against
// the system's own automation object. Prints table rows like the C++ programs.
var calls = 100000, runs = 3;

function median(values) {
    values.sort(function (a, b) { return a - b; });
    return values[Math.floor(values.length / 2)];
}

// Microseconds per call: median over the runs of one loop of n calls.
function perCall(loop, n) {
    loop(100);
    var samples = [];
    for (var r = 0; r < runs; ++r) {
        var start = new Date().getTime();
        loop(n);
        samples.push((new Date().getTime() - start) * 1000 / n);
    }
    return median(samples);
}

function row(measure, figure, reference) {
    WScript.Echo("| 2 | " + measure + " | " + figure.toFixed(2) + " us | " + reference.toFixed(2) +
                 " us | " + (figure / reference).toFixed(2) + " | - | - |");
}

try {
    var vexa = new ActiveXObject("Vexa.Server");
    var dictionary = new ActiveXObject("Scripting.Dictionary");
    var sink;
    var count = perCall(function (n) { for (var i = 0; i < n; ++i) sink = dictionary.Count; }, calls);
    var version = perCall(function (n) { for (var i = 0; i < n; ++i) sink = vexa.version(); }, calls);
    // The pointer is read from the display server, hundreds of microseconds a call
    // under Wine: fewer calls keep the run short.
    var mouseCalls = 2000;
    var mouse = perCall(function (n) { for (var i = 0; i < n; ++i) sink = vexa.getMousePosX(); }, mouseCalls);
    row("JScript 100,000 x vexa.version() vs dictionary.Count", version, count);
    row("JScript 2,000 x vexa.getMousePosX() vs 100,000 x dictionary.Count", mouse, count);
    WScript.Echo("bench-result: done");
} catch (e) {
    WScript.Echo("bench: the script failed: " + (e.message || e.description || e));
    WScript.Quit(1);
}

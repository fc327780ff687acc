// torva.js: the torvasoft library compiled to WebAssembly, and over it the
// scripting interface globalThis.torva (see library_tail.js). Everything is
// one function, so that the page can hand the same code to its worker.
(function torvaLibrary(scope) {

// viewer-worker.js: the code of the viewer's decoding worker, as one function
// that the page starts inside a worker from a blob: URL, after torva.js.
// Built from worker_head.js, fflate's browser build (for the ZIP files),
// worker_body.js and worker_tail.js.
function torvaViewerWorker() {

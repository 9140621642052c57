// Calls into the engine's plain exports with texts and bytes: a text becomes a UTF-8 copy, bytes
// a copy and their count; the copies are freed after the call. Text results are read back.
export function callExport(mod, name, ...args) {
  const copies = [];
  const wired = [];
  for (const a of args) {
    if (typeof a === 'string') {
      const p = mod.allocateUTF8(a);
      copies.push(p);
      wired.push(p);
    } else if (a instanceof Uint8Array) {
      const p = mod._malloc(Math.max(1, a.length));
      mod.HEAPU8.set(a, p);
      copies.push(p);
      wired.push(p, a.length);
    } else {
      wired.push(a);
    }
  }
  try {
    return mod[`_${name}`](...wired);
  } finally {
    copies.forEach((p) => mod._free(p));
  }
}

export const callText = (mod, name, ...args) => mod.UTF8ToString(callExport(mod, name, ...args));

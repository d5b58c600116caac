// Khronos's glTF-Validator on .glb files: prints each file's counts and exits 1 when any has
// an error or a warning.
//   node validate-glb.mjs FILE.glb...
import fs from 'node:fs';
import path from 'node:path';
import validator from 'gltf-validator';

let failed = false;
for (const file of process.argv.slice(2)) {
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 20,
  });
  const { numErrors, numWarnings, numInfos, messages } = report.issues;
  console.log(`${path.basename(file)}: ${numErrors} errors, ${numWarnings} warnings, ${numInfos} infos`);
  for (const m of messages) {
    if (m.severity <= 1) console.log(`  ${m.code} ${m.pointer || ''}: ${m.message}`);
  }
  if (numErrors > 0 || numWarnings > 0) failed = true;
}
process.exit(failed ? 1 : 0);

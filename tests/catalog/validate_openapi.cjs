// Validates the route catalogue's OpenAPI document against the OpenAPI 3.1
// schema and checks that it names every registered route.
//   node validate_openapi.cjs BUILD/openapi.json BUILD/nvr-routes
const { execFileSync } = require("child_process");
const fs = require("fs");
const { requirePackage } = require("./node_modules_dir.cjs");
const SwaggerParser = requirePackage("@apidevtools/swagger-parser");

async function main() {
  const [documentPath, routesProgram] = process.argv.slice(2);
  const document = JSON.parse(fs.readFileSync(documentPath, "utf8"));
  if (document.openapi !== "3.1.0") throw new Error(`openapi is ${document.openapi}, not 3.1.0`);
  // validate() changes the object it is given: hand it a copy.
  await SwaggerParser.validate(JSON.parse(JSON.stringify(document)));
  const codes = execFileSync(routesProgram, ["--list"], { encoding: "utf8" })
    .split("\n").filter((line) => line.length > 0);
  const missing = codes.filter((code) => !(code in document.paths));
  if (missing.length) throw new Error(`routes missing from the document: ${missing.join(" ")}`);
  if (Object.keys(document.paths).length !== codes.length)
    throw new Error(`${Object.keys(document.paths).length} paths for ${codes.length} routes`);
  console.log(`valid OpenAPI 3.1 document with ${codes.length} routes`);
}

main().catch((error) => {
  console.error(`invalid: ${error.message}`);
  process.exit(1);
});
